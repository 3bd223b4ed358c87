// formc: the build's form compiler. Turns form descriptions written as text into the binary form
// streams the installer links in as resources, and turns such streams back into text for review.
//
//   formc <input.dfm> <output.bin>
//   formc --to-text <input.bin> <output.dfm>
//
// A description whose root object is not named as its class without the leading "T" is refused.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "FormData.h"

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

int Usage() {
    std::cerr << "usage: formc <input.dfm> <output.bin>\n"
                 "       formc --to-text <input.bin> <output.dfm>\n";
    return ExitUsage;
}

int Fail(const std::string& path, const std::string& message) {
    std::cerr << "formc: " << path << ": " << message << "\n";
    return ExitFailure;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    } catch (const std::ios_base::failure&) {
        return false;  // e.g. a directory: opening succeeds, reading throws
    }
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
            out.close();
            if (out)
                return true;
        }
    }
    // A half-written output would look up to date to the build and get linked in.
    std::remove(path.c_str());
    return false;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        c = UpperAscii(c);
    return text;
}

// A form is read from the resource named after its class, and a translation module saves it under
// "T" + its root object's name: a root named otherwise would be saved where nothing reads it.
// Returns what is wrong, or nothing.
std::string RootNameProblem(const TFormObject& form) {
    const std::string savedAs = "T" + UpperAscii(form.Name);
    if (savedAs == UpperAscii(form.ClassName))
        return {};
    const std::string expected = form.ClassName.size() > 1 && UpperAscii(form.ClassName[0]) == 'T'
                                     ? form.ClassName.substr(1)
                                     : "the class name without its leading T";
    return "the root object '" + form.Name + "' of class " + form.ClassName + " would be saved as " +
           savedAs + " but is read as " + UpperAscii(form.ClassName) + ": name it '" + expected + "'";
}

std::string Convert(const std::string& input, bool toText) {
    if (toText) {
        const TFormObject form =
            ReadFormBinary(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        return RenderFormText(form);
    }
    const TFormObject form = ParseFormText(input);
    if (const std::string problem = RootNameProblem(form); !problem.empty())
        throw Exception(problem);
    const std::vector<uint8_t> stream = WriteFormBinary(form);
    return std::string(stream.begin(), stream.end());
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        bool toText = false;
        if (!args.empty() && args.front() == "--to-text") {
            toText = true;
            args.erase(args.begin());
        }
        if (args.size() != 2 || args[0].empty() || args[1].empty() || args[0][0] == '-')
            return Usage();
        const std::string& inputPath = args[0];
        const std::string& outputPath = args[1];

        std::string input;
        if (!ReadWholeFile(inputPath, input))
            return Fail(inputPath, "cannot read the file");
        std::string output;
        try {
            output = Convert(input, toText);
        } catch (const Exception& e) {
            return Fail(inputPath, e.Message());
        }
        if (!WriteWholeFile(outputPath, output))
            return Fail(outputPath, "cannot write the file");
        return 0;
    } catch (const std::bad_alloc&) {
        std::cerr << "formc: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "formc: " << e.what() << "\n";
    }
    return ExitFailure;
}
