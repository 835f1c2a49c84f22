// Speed and size of the LZHUF codec on four 16 MB inputs made on the spot:
// C/C++ header text, Windows PE DLLs, random bytes and zeros.
//
// Decoding is timed file to file, for the installer's decoder and for the
// plain bit-at-a-time baseline with one stream call per byte; the
// installer's decoder also from the payload stored at an offset inside a
// larger file, as a single-file setup.exe holds it; encoding is
// timed memory to memory, for our encoder and for a classic binary-tree
// greedy encoder.  Every output is decoded and compared with the input.
#include "bench/reference_encoder.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_file.h"
#include "tests/expand/lzhuf_baseline.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kInputSize = size_t(16) << 20;

using Bytes = std::vector<uint8_t>;

// Appends the files below the given folders whose names end in one of the
// suffixes, in sorted order, until out holds kInputSize bytes.
void Gather(const std::vector<std::string>& folders, const std::vector<std::string>& suffixes,
            const std::function<bool(const Bytes&)>& accept, Bytes& out) {
    std::vector<fs::path> files;
    for (const std::string& folder : folders) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file(ec) || it->is_symlink(ec))
                continue;
            const std::string name = it->path().filename().string();
            for (const std::string& suffix : suffixes) {
                if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                    files.push_back(it->path());
                    break;
                }
            }
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        if (out.size() >= kInputSize)
            break;
        std::ifstream in(file, std::ios::binary);
        Bytes content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (accept(content))
            out.insert(out.end(), content.begin(), content.end());
    }
    if (out.size() > kInputSize)
        out.resize(kInputSize);
}

bool IsPe(const Bytes& b) { return b.size() > 64 && b[0] == 'M' && b[1] == 'Z'; }
bool IsElf(const Bytes& b) { return b.size() > 64 && b[0] == 0x7F && b[1] == 'E' && b[2] == 'L' && b[3] == 'F'; }

struct Input {
    std::string name;
    Bytes data;
};

std::vector<Input> MakeInputs() {
    std::vector<Input> inputs;
    Input text{"text", {}};
    Gather({"/usr/include"}, {".h", ".hpp", ".hh", ".tcc"}, [](const Bytes&) { return true; }, text.data);
    inputs.push_back(std::move(text));

    Input pe{"PE DLLs", {}};
    Gather({"/usr/lib/x86_64-linux-gnu/wine", "/usr/lib/i386-linux-gnu/wine", "/usr/lib/wine"}, {".dll"}, IsPe, pe.data);
    if (pe.data.size() < kInputSize) {
        pe.name = "ELF .so";   // no Wine here: shared objects are the nearest kind of machine code
        pe.data.clear();
        Gather({"/usr/lib/x86_64-linux-gnu", "/usr/lib"}, {".so"}, IsElf, pe.data);
    }
    inputs.push_back(std::move(pe));

    Input random{"random", Bytes(kInputSize)};
    std::mt19937_64 rng(20240601);
    for (size_t i = 0; i < kInputSize; i += 8) {
        const uint64_t v = rng();
        for (int k = 0; k < 8; ++k)
            random.data[i + k] = uint8_t(v >> (8 * k));
    }
    inputs.push_back(std::move(random));
    inputs.push_back({"zeros", Bytes(kInputSize, 0)});
    return inputs;
}

// The best time of repeat runs of work, each after an untimed prepare.  The
// time is the process's CPU time, user and system (so file I/O counts), which
// other work on a shared machine disturbs far less than the wall clock.
double Seconds(const std::function<void()>& prepare, const std::function<void()>& work, int repeat) {
    double best = 1e30;
    for (int r = 0; r < repeat; ++r) {
        prepare();
        const std::clock_t start = std::clock();
        work();
        best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return best;
}

void WriteFile(const fs::path& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    const int repeat = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / ("lzhuf_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const fs::path packed = dir / "packed", unpacked = dir / "unpacked", container = dir / "setup.exe";
    const double mb = double(kInputSize) / (1 << 20);
    bool allGood = true;

    std::printf("LZHUF codec: best of %d runs in CPU time (user + system); MB/s of uncompressed data, MB = 2^20 bytes\n\n",
                repeat);
    std::printf("%-9s | %9s %9s %9s %9s | %9s %9s | %11s %11s %7s\n", "input", "decode", "in exe", "baseline",
                "speedup", "encode", "ref enc", "size", "ref size", "ratio");
    for (Input& input : MakeInputs()) {
        Bytes file, reference;
        const double encode = Seconds([] {}, [&] { EncodeLzhuf(input.data.data(), input.data.size(), file); }, repeat);
        const double referenceEncode =
            Seconds([] {}, [&] { ReferenceEncodeLzhuf(input.data.data(), input.data.size(), reference); }, 1);

        WriteFile(packed, file);
        // The same payload in the middle of a larger file: 1 MB before it, 64 KB after.
        Bytes around(size_t(1) << 20, 0x5A);
        around.insert(around.end(), file.begin(), file.end());
        around.resize(around.size() + (64 << 10), 0xA5);
        WriteFile(container, around);
        bool good = true;
        // Each decoder writes a new file, as the installer does.
        const auto fresh = [&] { fs::remove(unpacked); };
        const auto fast = [&] {
            good &= ExpandLzhufFile(packed.string().c_str(), unpacked.string().c_str()).status == ExpandStatus::kOk;
        };
        const auto stored = [&] {
            std::FILE* in = std::fopen(container.string().c_str(), "rb");
            FileRange range;
            range.file = in;
            range.offset = uint64_t(1) << 20;
            range.size = file.size();
            good &= in && ExpandLzhufRange(range, "stored", unpacked.string().c_str()).status == ExpandStatus::kOk;
            if (in) std::fclose(in);
        };
        const auto plain = [&] {
            std::FILE* in = std::fopen(packed.string().c_str(), "rb");
            std::FILE* out = std::fopen(unpacked.string().c_str(), "wb");
            good &= in && out && BaselineExpand(in, out);
            if (in) std::fclose(in);
            if (out) std::fclose(out);
        };
        // The two decoders take turns, so that both meet the same load when
        // other work on the machine comes and goes.
        double decode = 1e30, inExe = 1e30, baseline = 1e30;
        for (int r = 0; r < repeat; ++r) {
            decode = std::min(decode, Seconds(fresh, fast, 1));
            good &= ReadFile(unpacked) == input.data;
            inExe = std::min(inExe, Seconds(fresh, stored, 1));
            good &= ReadFile(unpacked) == input.data;
            baseline = std::min(baseline, Seconds(fresh, plain, 1));
            good &= ReadFile(unpacked) == input.data;
        }
        WriteFile(packed, reference);
        good &= ExpandLzhufFile(packed.string().c_str(), unpacked.string().c_str()).status == ExpandStatus::kOk &&
                ReadFile(unpacked) == input.data;
        allGood &= good;

        std::printf("%-9s | %9.1f %9.1f %9.1f %8.2fx | %9.1f %9.1f | %11zu %11zu %6.2f%%%s\n", input.name.c_str(),
                    mb / decode, mb / inExe, mb / baseline, baseline / decode, mb / encode, mb / referenceEncode,
                    file.size(),
                    reference.size(), 100.0 * double(file.size()) / double(input.data.size()),
                    good ? "" : "  ROUND TRIP FAILED");
        std::fflush(stdout);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    std::printf("\nin exe: the same payload decoded from 1 MB into a larger file, as from a single-file setup.exe.\n"
                "size: our encoder's output; ref: the greedy binary-tree encoder; ratio: size / input.\n");
    return allGood ? 0 : 1;
}
