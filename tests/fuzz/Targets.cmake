# The fuzz targets, one line each:
#   vorna_fuzz_target(NAME SOURCES <files under src/ it exercises> [SEEDS <globs from the root>])
# NAME.cpp beside this file holds its LLVMFuzzerTestOneInput and corpus/NAME/ its seeds. SEEDS
# name shipped files that join the seeds when there are any.
set(vorna_fuzz_files base/Files.cpp base/FilesPosix.cpp base/TextEncoding.cpp)
set(vorna_fuzz_settings base/DataFolders.cpp base/DataFoldersPosix.cpp
    base/LocalTimePosix.cpp ${vorna_fuzz_files} settings/IniFile.cpp settings/Profiles.cpp
    settings/Backups.cpp settings/Catalogue.cpp settings/Codec.cpp)
vorna_fuzz_target(ParseEscImage SOURCES firmware/FirmwareImages.cpp ${vorna_fuzz_files}
    SEEDS data/Firmware/*mmc)
vorna_fuzz_target(ParseCardImage SOURCES firmware/FirmwareImages.cpp ${vorna_fuzz_files}
    SEEDS data/Firmware/*xup)
vorna_fuzz_target(IniFileText SOURCES settings/IniFile.cpp ${vorna_fuzz_files}
    SEEDS data/Profile/*/*.ini data/config.ini)
vorna_fuzz_target(SettingsFile SOURCES ${vorna_fuzz_settings} SEEDS data/Profile/*/*.ini)
vorna_fuzz_target(SetupSheet SOURCES ${vorna_fuzz_settings} SEEDS data/Profile/*/*.ini)
vorna_fuzz_target(SettingsRecord SOURCES settings/Catalogue.cpp settings/Codec.cpp)
vorna_fuzz_target(ConfigIni SOURCES gui/AppConfig.cpp settings/IniFile.cpp ${vorna_fuzz_files}
    SEEDS data/config.ini)
vorna_fuzz_target(DeviceIdentity SOURCES firmware/IdentityTexts.cpp protocol/VersionText.cpp
    settings/Catalogue.cpp settings/Codec.cpp)
vorna_fuzz_target(SettingAssignment SOURCES cli/SettingsText.cpp cli/TerminalText.cpp base/Text.cpp
    ${vorna_fuzz_settings})
