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
};

std::optional<Fault> FaultFromName(const std::string& name);
std::string FaultNames();  // "silent, wrong-byte, ..." for usage texts

using Identity = std::array<std::uint8_t, 7>;

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

    void SetFault(Fault fault);
    void SetIdentity(const Identity& identity);

    // Inspection for tests and `vornactl simulate`.
    std::vector<std::uint8_t> Record() const;
    std::uint8_t BecIndex() const;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> Pairs() const;  // every pair received
    std::vector<std::uint8_t> Commands() const;                        // every command byte
    int WritesEnded() const;                                           // 0xDF count
    int Restores() const;                                              // 0xDE count
    void ClearLogs();

protected:
    void OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) override;
    void OnReset() override;

private:
    void ApplyPair(std::uint8_t reg, std::uint8_t value, std::vector<std::uint8_t>& reply);
    void Answer(std::vector<std::uint8_t> bytes, std::vector<std::uint8_t>& reply) const;

    mutable std::mutex mutex_;
    int modelType_;
    Identity identity_;
    Fault fault_ = Fault::None;
    std::vector<std::uint8_t> record_;
    std::uint8_t becIndex_ = 1;  // for the models whose record has no BEC byte
    std::uint8_t lowVoltMode_ = 0;
    std::optional<std::uint8_t> pendingRegister_;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> pairs_;
    std::vector<std::uint8_t> commands_;
    int writesEnded_ = 0;
    int restores_ = 0;
};

}  // namespace vorna::sim
