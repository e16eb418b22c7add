// A virtual ESC: identity, a settings register file that pairs change and 0xDE resets, and
// faults on request. It knows the record layouts from the device's side (which register lands
// in which record byte), independently of the program's codec, so tests cross-check the two.
// Which layout a model type has, how long its record is and whether it keeps BEC Voltage
// outside the record come from the shared model type table.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/PtyDevice.h"

namespace vorna::sim {

enum class Fault {
    None,
    Silent,       // read-back only: the device never answers
    WrongByte,    // the ESC and Fix Mode presence probes get a wrong first byte
    NoMarker,     // identity without the 0x40 marker
    ShortAnswer,  // every answer one byte short
    NoEndMarker,  // settings record without 0xDD at its end
    NoAck,        // write pairs answered with 0x00
    NoBecAnswer,  // the BEC Voltage query is acknowledged but its index never comes
    BecRefused,   // a BEC Voltage sent is acknowledged but neither confirmed nor kept
    RestoreLost,  // the restore command is lost on the line: no echo, nothing restored
    // Program card update mode (the card's block faults hit the block SimulatedCard names).
    StageOneSilent,    // 0xD7 of the first stage never answered
    StageOneWrong,     // 0xD7 of the first stage answered with a wrong byte
    StageOneLate,      // 0xD8 comes only for the fourth 0xD7 (the third retry)
    StageTwoSilent,    // 0xD6 of the second stage never answered
    StageTwoWrong,     // 0xD6 of the second stage answered with a wrong byte
    BlockNoAck,        // the block is taken in but never answered
    BlockCrc,          // the block is rejected as if its check failed
    BlockResend,       // the block is asked for again (0x13) before it is accepted
    UnplugAfterBlock,  // the line drops as the block after it arrives
    // The update's handshake (0xD6 -> 0xD7, 0x39 -> 0x61, 0x31 -> 0x01): no answer, or a
    // wrong one, at one step. The 0xD6 faults hit the Fix Mode probe too.
    D6Silent,
    D6Wrong,
    Silent39,
    Wrong39,
    Silent31,
    Wrong31,
    NoAckAfter,   // records after record N (the fault's number) get no reply byte
    UnplugAfter,  // once record N was acknowledged, the line drops as the next byte arrives
    // Settings write: the plug is pulled as a pair arrives once N pairs were received (Pairs()),
    // before that pair is applied or echoed.
    UnplugAfterPair,
};

std::optional<Fault> FaultFromName(const std::string& name);
std::string FaultNames();  // "silent, wrong-byte, ..." for usage texts

// A fault with its number: "no-ack-after:N", "unplug-after:N" and "unplug-after-pair:N" take
// one (N >= 0; 0 means before the first record or pair), the others none.
struct FaultChoice {
    Fault fault = Fault::None;
    int record = 0;
};
std::optional<FaultChoice> ParseFault(const std::string& text);

using Identity = std::array<std::uint8_t, 7>;

// The settings an ESC keeps, as its firmware keeps them: the record it answers a read with,
// and, on the model types whose record has no room for it, BEC Voltage apart. Written pair by
// pair; a register the model type does not keep anywhere is taken and forgotten.
struct RegisterFile {
    int modelType = 0;
    std::vector<std::uint8_t> record;
    std::uint8_t becIndex = 1;  // for the models whose record has no BEC byte
    std::uint8_t lowVoltMode =
        0;  // the mode last written to a model with mode and voltage in one byte

    void Write(std::uint8_t reg, std::uint8_t value);
    // BEC Voltage as the ESC answers the query for it.
    std::uint8_t Bec() const;
};

// Identity bytes an ESC of the given model type (0 to 17) answers.
Identity IdentityForModel(int modelType);

// The record a factory-fresh ESC of the model type holds (data bytes, without 0xDD).
std::vector<std::uint8_t> FactoryRecord(int modelType);
// Length of the record's data bytes for the model type.
int RecordLength(int modelType);

class SimulatedEsc : public PtyDevice {
public:
    SimulatedEsc(std::string linkPath, int modelType);
    SimulatedEsc(std::string linkPath, const Identity& identity, int modelType);
    ~SimulatedEsc() override;

    void SetFault(Fault fault, int record = 0);
    void SetIdentity(const Identity& identity);

    // Inspection for tests and `vornactl simulate`.
    std::vector<std::uint8_t> Record() const;
    std::uint8_t BecIndex() const;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> Pairs() const;  // every pair received
    std::vector<std::uint8_t> Commands() const;                        // every command byte
    int WritesEnded() const;                                           // 0xDF count
    int Restores() const;                                              // 0xDE count
    void ClearLogs();

    // The bootloader. After an answered 0xD6, 0x39 (answered 0x61) and 0x31 (answered 0x01)
    // open the update mode; then every record (0x3A, byte count, two address bytes, type,
    // count data bytes, checksum: count + 6 bytes) is checked and answered with 0x01, or not at
    // all when its checksum is wrong. The end-of-file record (type 0x01) leaves the update mode:
    // the firmware version (identity byte 3) becomes the image's first data byte, or one more
    // than before when the image had no data, and the ESC answers 0xD6 and 0xD7 as before.
    bool InUpdateMode() const;
    // Every record received in the update that is running or ran last, as received.
    std::vector<std::vector<std::uint8_t>> UpdateRecords() const;
    // The data bytes of those records (type 0x00), in order.
    std::vector<std::uint8_t> UpdateImage() const;
    int UpdatesFinished() const;
    Identity CurrentIdentity() const;

protected:
    void OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) override;
    void OnReset() override;

private:
    void ApplyPair(std::uint8_t reg, std::uint8_t value, std::vector<std::uint8_t>& reply);
    void Answer(std::vector<std::uint8_t> bytes, std::vector<std::uint8_t>& reply) const;
    bool OnUpdateByte(std::uint8_t byte, std::vector<std::uint8_t>& reply);

    enum class Stage { Normal, Armed, Entered, Records };
    Stage stage_ = Stage::Normal;
    std::vector<std::uint8_t> partial_;
    std::vector<std::vector<std::uint8_t>> updateRecords_;
    int updatesFinished_ = 0;
    int faultRecord_ = 0;
    // UnplugAfter: record N was acknowledged, so the next byte pulls the plug. The device
    // thread pulls it itself, between bytes: no other thread stops the device under it.
    bool unplugPending_ = false;

    mutable std::mutex mutex_;
    Identity identity_;
    Fault fault_ = Fault::None;
    RegisterFile regs_;
    std::optional<std::uint8_t> pendingRegister_;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> pairs_;
    std::vector<std::uint8_t> commands_;
    int writesEnded_ = 0;
    int restores_ = 0;
};

}  // namespace vorna::sim
