# Turns a UTF-8 text file into a C++ source that defines
#   extern const char SYMBOL[];  (the file's bytes, NUL-terminated)
# Run with: cmake -DINPUT=... -DOUTPUT=... -DSYMBOL=... -P EmbedText.cmake
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _len)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" _bytes "${_bytes}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.\nextern const char ${SYMBOL}[];\nconst char ${SYMBOL}[] = {\n${_bytes}0x00};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
