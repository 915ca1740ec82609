// Writes the factory sounds' sample memory as a C++ source the emulator is
// built with:  corvane-bake-factory OUT.cpp
#include "FactorySamples.h"
#include "MirageEmulator.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvane-bake-factory OUT.cpp\n");
        return 2;
    }
    using namespace corvane::emu;
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "// Made by corvane-bake-factory from FactorySamples.cpp at build time.\n"
           "#include \"FactorySamples.h\"\n\n"
           "namespace corvane::emu {\n\nnamespace {\n\n"
           "const std::uint8_t Baked[2][3]["
        << SampleMemorySize << "] = {\n";
    for (int half = 0; half < 2; ++half) {
        out << "{\n";
        for (int variant = 0; variant < 3; ++variant) {
            out << "{";
            const std::vector<std::uint8_t> memory = computeFactoryMemory(half, variant);
            for (std::size_t i = 0; i < memory.size(); ++i)
                out << static_cast<int>(memory[i]) << (i % 32 == 31 ? ",\n" : ",");
            out << "},\n";
        }
        out << "},\n";
    }
    out << "};\n\n} // namespace\n\n"
           "const std::uint8_t* bakedFactoryMemory(int half, int variant)\n{\n"
           "    if (half < 0 || half > 1 || variant < 0 || variant > 2)\n"
           "        return nullptr;\n"
           "    return Baked[half][variant];\n}\n\n"
           "} // namespace corvane::emu\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "corvane-bake-factory: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
