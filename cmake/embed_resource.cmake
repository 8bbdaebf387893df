# Turns one file into a C++ source that holds its bytes, so a resource of
# data/ is compiled into the program with nothing but CMake.
# Inputs: INPUT (file), OUTPUT (generated .cpp), SYMBOL (C++ name).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR byte_count "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," body "${hex}")
# Break the initialiser into lines of 24 bytes to keep compilers and editors happy.
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){24})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n"
"#include <string_view>\n"
"namespace bootsmith::resources {\n"
"namespace {\n"
"constexpr char bytes[${byte_count} + 1] = {\n${body}'\\0'};\n"
"}  // namespace\n"
"extern const std::string_view ${SYMBOL};\n"
"const std::string_view ${SYMBOL}{bytes, ${byte_count}};\n"
"}  // namespace bootsmith::resources\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
