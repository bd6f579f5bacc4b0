// Parses a class file through the installed library and prints its name.
#include <cstdio>
#include <optional>
#include <string>

#include <ornith/base/VQByteBuffer.h>
#include <ornith/classfile/VQClassFileParsing.h>

namespace {
struct NameOnly {
    std::string name;
    void setClassName(std::string n) { name = std::move(n); }
};
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    auto data = ornith::VQByteBuffer::bufferWithContentsOfFile(argv[1]);
    if (!data) return 1;
    NameOnly builder;
    ornith::VQParseClassFile(*data, builder);
    std::printf("%s\n", builder.name.c_str());
    return builder.name.empty() ? 1 : 0;
}
