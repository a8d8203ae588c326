# Writes the demo animation's bytes as a C++ array: -DINPUT=demo.gif -DOUTPUT=demo_animation.cpp
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Made from demo.gif at build time.\n#include \"hosts/demo/demo_animation.h\"\n\n"
     "const unsigned char kDemoAnimation[] = {\n${bytes}\n};\n"
     "const std::size_t kDemoAnimationSize = sizeof(kDemoAnimation);\n")
