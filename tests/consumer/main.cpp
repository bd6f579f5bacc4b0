// Parses a class file through the installed library and prints its name, then its
// declaration from the class model, all through the one umbrella header.
#include <cstdio>
#include <optional>
#include <string>

#include <ornith/ornith.h>

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
    if (builder.name.empty()) return 1;
    const auto model = ornith::VQJavaClass::classWithData(*data);
    std::printf("%s\n", model->description().c_str());
    return model->className() == builder.name ? 0 : 1;
}
