// Writes the seed corpora of the fuzz targets: small inputs made with the
// tests' own byte builders. Usage: make_seeds FUZZ_CORPUS_DIR

#include <filesystem>
#include <string>

#include "support/lzh_writer.h"
#include "support/segment_writer.h"

using namespace veskari::test;

namespace {

void Put(const std::string& dir, const std::string& name, const Bytes& bytes)
{
    std::filesystem::create_directories(dir);
    WriteFile(dir + "/" + name, bytes);
}

Bytes Compressed(const Bytes& content, int np)
{
    std::vector<Token> tokens;
    for (const std::uint8_t byte : content) {
        tokens.push_back(Literal(byte));
    }
    tokens.push_back(Match(20, 3));
    LzhEncoder encoder(np);
    encoder.Block(tokens);
    return encoder.Finish();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 2;
    }
    const std::string root = argv[1];
    MicrocodeFields fields;
    const Bytes update = MakeMicrocodeUpdate(fields);
    Bytes small = MakeMicrocodeHeader(fields);
    small.resize(200, 0);

    Put(root + "/fuzz_microcode", "one_update", update);
    Bytes two = update;
    Append(two, update);
    Put(root + "/fuzz_microcode", "two_updates", two);
    Bytes nearMiss = small;
    nearMiss[11] = 0x13;
    Put(root + "/fuzz_microcode", "near_miss", nearMiss);

    const Bytes content(small.begin(), small.begin() + 60);
    Bytes withEnd = Compressed(content, 14);
    for (int level = 0; level <= 2; ++level) {
        const std::string suffix = "_level" + std::to_string(level);
        Put(root + "/fuzz_lzh_header", "stored" + suffix, MakeStoredMember("m.bin", content, level));
        LzhMemberFields memberFields;
        memberFields.level = level;
        memberFields.method = "-lh5-";
        memberFields.data = Compressed(content, 14);
        const Bytes expanded = [&] {
            Bytes out = content;
            for (int i = 0; i < 20; ++i) {
                out.push_back(out[out.size() - 3]);
            }
            return out;
        }();
        memberFields.decodedSize = static_cast<std::uint32_t>(expanded.size());
        memberFields.crc = Crc16(expanded);
        memberFields.extended.push_back({2, Bytes{'d', 'i', 'r', 0xFF}});
        memberFields.extended.push_back({1, Bytes{'x', '.', 'b', 'i', 'n'}});
        Put(root + "/fuzz_lzh_header", "lh5" + suffix, MakeLzhMember(memberFields));
        Bytes image(40, 0xFF);
        Append(image, MakeLzhMember(memberFields));
        Append(image, MakeStoredMember("n.bin", MakeStoredMember("inner.bin", update), level));
        Put(root + "/fuzz_analysis", "nested" + suffix, image);
    }
    Put(root + "/fuzz_analysis", "update", update);
    Put(root + "/fuzz_analysis", "self_similar", MakeSelfSimilarArchive(22));
    // An update of the later layout with an extended signature table, in a
    // stored member: the rules of that layout only run on such bytes.
    MicrocodeFields later = fields;
    later.signature = 0x906A3;
    later.platformFlags = 0x80;
    later.revision = 0x43A;
    Bytes laterImage(7, 0xFF);
    const Bytes laterUpdate = MakeLaterUpdate(later, 2048, {{0x906A4, 0x80}, {0x906A3, 0x80}});
    Append(laterImage, laterUpdate);
    Append(laterImage, MakeStoredMember("later.bin", laterUpdate, 1));
    Put(root + "/fuzz_analysis", "later_update", laterImage);

    // Compressed segments: nested both ways with LZH members, and the
    // decoder's own input (size in units of 4, then the data).
    Bytes segments(5, 0xFF);
    Append(segments, MakeSegment(update));
    Append(segments, MakeStoredMember("s.bin", MakeSegment(update, 0x05, 0), 1));
    Append(segments, MakeSegment(MakeStoredMember("in.bin", update), 0x0A, 0xD000));
    Put(root + "/fuzz_analysis", "segments", segments);
    const Bytes text = [] {
        Bytes out;
        for (int i = 0; i < 600; ++i) {
            out.push_back(static_cast<std::uint8_t>("  BIOS segment "[i % 15]));
        }
        return out;
    }();
    for (const auto& [name, decoded] : {std::pair{"text", text}, std::pair{"update", update}}) {
        const std::size_t units = decoded.size() / 4;
        Bytes input{static_cast<std::uint8_t>(units & 0xFF), static_cast<std::uint8_t>(units >> 8)};
        Append(input, LzssEncode(decoded));
        Put(root + "/fuzz_segment", name, input);
    }

    for (const int method : {0, 4, 5, 6, 7}) {
        Bytes input{static_cast<std::uint8_t>(method == 0 ? 0 : method - 3), 20, 0};
        const int np = method >= 6 ? 17 : 14;
        Append(input, method == 0 ? Bytes(80, 0x41) : Compressed(content, np));
        Put(root + "/fuzz_decode", "method" + std::to_string(method), input);
    }
    return 0;
}
