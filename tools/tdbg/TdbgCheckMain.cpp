// tdbgcheck: measures the TDBG data embedded in a module against binutils' addr2line on the
// unstripped image the build kept.
//
//   tdbgcheck accuracy --objdump P --addr2line P --source-root DIR --reference UNSTRIPPED [--sample N]
//             [--minimum PERCENT] MODULE
//       call sites spread over the whole code; prints the share of agreeing answers and fails
//       below the minimum (99 by default)
//   tdbgcheck bench --objdump P --addr2line P --reference UNSTRIPPED [--sample N] MODULE
//       N lookups (10,000 by default) through the TDBG reader, its first read of the section
//       included, against one addr2line run given the same addresses; prints the ratio and the
//       memory the reader holds
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Addr2LineAnswers.h"
#include "CallSites.h"
#include "LocationAgreement.h"
#include "ToolCommand.h"
#include "TraceDebugScanner.h"
#include "TracePeImage.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string Mode, Objdump, Addr2Line, SourceRoot, Reference, Module;
    size_t Sample = 0;
    double Minimum = 99.0;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    if (argc < 2)
        throw std::runtime_error(
            "usage: tdbgcheck accuracy|bench --objdump P --addr2line P --reference FILE MODULE");
    options.Mode = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(argument + " needs a value");
            return argv[++i];
        };
        if (argument == "--objdump")
            options.Objdump = value();
        else if (argument == "--addr2line")
            options.Addr2Line = value();
        else if (argument == "--source-root")
            options.SourceRoot = value();
        else if (argument == "--reference")
            options.Reference = value();
        else if (argument == "--sample")
            options.Sample = std::stoul(value());
        else if (argument == "--minimum")
            options.Minimum = std::stod(value());
        else
            options.Module = argument;
    }
    if (options.Objdump.empty() || options.Addr2Line.empty() || options.Reference.empty() ||
        options.Module.empty())
        throw std::runtime_error("--objdump, --addr2line, --reference and the module are needed");
    return options;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A file of addresses, one a line, for addr2line's standard input; removed with its owner.
class AddressFile {
public:
    explicit AddressFile(const std::vector<uint64_t>& addresses) {
        char name[] = "/tmp/tdbgcheck-XXXXXX";
        const int descriptor = ::mkstemp(name);
        if (descriptor < 0)
            throw std::runtime_error("cannot create a temporary file");
        ::close(descriptor);
        path_ = name;
        std::ofstream out(path_);
        for (uint64_t address : addresses)
            out << "0x" << std::hex << address << "\n";
        if (!out)
            throw std::runtime_error("cannot write " + path_);
    }
    ~AddressFile() { std::remove(path_.c_str()); }
    AddressFile(const AddressFile&) = delete;
    AddressFile& operator=(const AddressFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The module's embedded data, and where its offsets count from.
struct EmbeddedData {
    std::vector<uint8_t> Bytes;
    std::optional<TTracePeImage> Image;
    std::span<const uint8_t> Section;
    uint64_t CodeStart = 0;
};

void ReadEmbeddedData(EmbeddedData& data) {
    data.Image = TTracePeImage::Read(data.Bytes, TPeLayout::File);
    if (!data.Image)
        throw std::runtime_error("no PE image");
    const TPeSection* section = data.Image->FindSection("TRACEDBG");
    if (section == nullptr)
        throw std::runtime_error("no section TRACEDBG");
    data.Section = data.Image->SectionData(*section);
    data.CodeStart = data.Image->ImageBase() + 0x1000;
}

std::vector<uint64_t> CallSites(const Options& options) {
    const std::vector<uint64_t> sites = CallSitesInDisassembly(CommandOutput(
        ShellQuoted(options.Objdump) + " -d --no-show-raw-insn " + ShellQuoted(options.Reference)));
    if (sites.empty())
        throw std::runtime_error("no call instructions in " + options.Reference);
    return sites;
}

std::string Describe(const TdbgAnswer& answer) {
    return (answer.Procedure.empty() ? "??" : answer.Procedure) + " " +
           (answer.File.empty() ? "??" : answer.File) + ":" + std::to_string(answer.Line);
}

int Accuracy(const Options& options) {
    EmbeddedData data;
    data.Bytes = ReadFile(options.Module);
    ReadEmbeddedData(data);
    const TTraceBinDebugScanner scanner(data.Section.data(), data.Section.size());
    if (!scanner.ValidFormat())
        throw std::runtime_error("TRACEDBG holds no valid TDBG data");

    const std::vector<uint64_t> sample =
        EvenSample(CallSites(options), options.Sample == 0 ? 2000 : options.Sample);
    const AddressFile addresses(sample);
    const std::vector<Addr2LineAnswer> references = ParseAddr2LineAnswers(
        CommandOutput(ShellQuoted(options.Addr2Line) + " -a -f -i -e " + ShellQuoted(options.Reference) +
                      " < " + ShellQuoted(addresses.Path())));
    if (references.size() != sample.size())
        throw std::runtime_error("addr2line answered " + std::to_string(references.size()) + " of " +
                                 std::to_string(sample.size()) + " addresses");

    size_t agreeing = 0, procedures = 0, files = 0, lines = 0, bothUnknown = 0, shown = 0;
    for (const Addr2LineAnswer& reference : references) {
        const TdbgAnswer answer =
            TdbgAnswerAt(scanner, static_cast<uint32_t>(reference.Address - data.CodeStart));
        const LocationAgreement agreement = CompareLocations(reference, answer, options.SourceRoot);
        procedures += agreement.Procedure;
        files += agreement.File;
        lines += agreement.Line;
        if (agreement.All()) {
            ++agreeing;
            bothUnknown += answer.Unit.empty();
        } else if (shown++ < 25) {
            std::cout << "  differs at 0x" << std::hex << reference.Address << std::dec << ": addr2line "
                      << reference.Function << " " << reference.File << ":" << reference.Line << "; TDBG "
                      << Describe(answer) << "\n";
        }
    }
    const double percent = 100.0 * static_cast<double>(agreeing) / static_cast<double>(references.size());
    std::cout << "tdbgcheck accuracy: " << options.Module << ": " << agreeing << "/" << references.size()
              << " call sites agree with addr2line (" << std::fixed << std::setprecision(1) << percent
              << "%; procedure " << procedures << ", file " << files << ", line " << lines << "; "
              << bothUnknown << " of the agreeing unknown to both); minimum " << options.Minimum << "%\n";
    return percent >= options.Minimum ? 0 : 1;
}

int Bench(const Options& options) {
    const std::vector<uint64_t> addresses =
        EvenSample(CallSites(options), options.Sample == 0 ? 10000 : options.Sample, true);
    EmbeddedData data;
    data.Bytes = ReadFile(options.Module);

    // The reader's side: what the program does from its mapped image on, once.
    const auto readerStart = Clock::now();
    ReadEmbeddedData(data);
    const TTraceBinDebugScanner scanner(data.Section.data(), data.Section.size());
    size_t answered =
        !TdbgAnswerAt(scanner, static_cast<uint32_t>(addresses.front() - data.CodeStart)).Unit.empty();
    const auto firstAnswered = Clock::now();
    for (size_t i = 1; i < addresses.size(); ++i)
        answered += !TdbgAnswerAt(scanner, static_cast<uint32_t>(addresses[i] - data.CodeStart)).Unit.empty();
    const double readerSeconds = std::chrono::duration<double>(Clock::now() - readerStart).count();
    const double firstSeconds = std::chrono::duration<double>(firstAnswered - readerStart).count();

    const AddressFile file(addresses);
    const auto toolStart = Clock::now();
    const std::string output =
        CommandOutput(ShellQuoted(options.Addr2Line) + " -f -e " + ShellQuoted(options.Reference) + " < " +
                      ShellQuoted(file.Path()));
    const double toolSeconds = std::chrono::duration<double>(Clock::now() - toolStart).count();

    std::cout << std::fixed << std::setprecision(3) << "tdbgcheck bench: " << addresses.size()
              << " addresses; TDBG reader " << readerSeconds * 1000 << " ms (the first answer after "
              << firstSeconds * 1000 << " ms; " << answered << " answered), addr2line -f "
              << toolSeconds * 1000 << " ms; ratio " << std::setprecision(0) << toolSeconds / readerSeconds
              << "x; reader memory " << scanner.CacheBytes()
              << " bytes (expanded tables and unpacked names) over a TRACEDBG section of "
              << data.Section.size() << " bytes\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = ParseOptions(argc, argv);
        if (options.Mode == "accuracy")
            return Accuracy(options);
        if (options.Mode == "bench")
            return Bench(options);
        throw std::runtime_error("unknown mode " + options.Mode);
    } catch (const std::exception& error) {
        std::cerr << "tdbgcheck: " << error.what() << "\n";
        return 2;
    }
}
