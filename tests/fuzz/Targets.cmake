# The fuzz targets, one line each:
#   vorna_fuzz_target(NAME SOURCES <files under src/ it exercises> [SEEDS <globs from the root>])
# NAME.cpp beside this file holds its LLVMFuzzerTestOneInput and corpus/NAME/ its seeds. SEEDS
# name shipped files that join the seeds when there are any.
vorna_fuzz_target(ParseEscImage SOURCES firmware/FirmwareImages.cpp SEEDS data/Firmware/*mmc)
vorna_fuzz_target(ParseCardImage SOURCES firmware/FirmwareImages.cpp SEEDS data/Firmware/*xup)
