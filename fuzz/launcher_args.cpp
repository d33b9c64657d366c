// Fuzzer of the extractor front end's command line: the arguments (bytes
// separated by zero bytes; the first piece is the program) are rewritten and
// joined into a Windows command line, which 7-Zip's own splitting must turn
// back into exactly the same arguments. The same pieces are also read as
// UTF-16, as the Windows front end reads its arguments.
#include "ArgRewrite.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "launcher_args: %s\n", what);
    std::abort();
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// How 7-Zip for Windows splits its command line: the line is trimmed of
// spaces, tabs and line feeds at both ends; outside quotes a space or a tab
// ends an argument; a double quote toggles quoting and is dropped; an
// argument is kept when it had any character, quotes included.
std::vector<std::string> splitLikeSevenZip(const std::string &line)
{
    const char *trim = " \n\t";
    const std::size_t first = line.find_first_not_of(trim);
    const std::string s = first == std::string::npos
            ? std::string()
            : line.substr(first, line.find_last_not_of(trim) - first + 1);
    std::vector<std::string> parts;
    std::string part;
    std::size_t raw = 0;
    bool quoted = false;
    for (const char c : s) {
        if ((c == ' ' || c == '\t') && !quoted) {
            if (raw != 0)
                parts.push_back(part);
            part.clear();
            raw = 0;
            continue;
        }
        ++raw;
        if (c == '"')
            quoted = !quoted;
        else
            part += c;
    }
    if (raw != 0)
        parts.push_back(part);
    return parts;
}

// The arguments that are names, not switches, in order.
std::vector<std::string> names(const std::vector<std::string> &args)
{
    std::vector<std::string> result;
    bool namesOnly = false;
    for (const std::string &arg : args) {
        if (namesOnly || arg.empty() || arg[0] != '-')
            result.push_back(arg);
        else if (arg == "--")
            namesOnly = true;
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            pieces.emplace_back();
        else
            pieces.back() += char(data[i]);
    }
    const std::string program = pieces.front();
    const std::vector<std::string> args(pieces.begin() + 1, pieces.end());

    // Each argument's bytes as UTF-16 units (pairs, little-endian): refused
    // exactly when one is not valid UTF-16, else read as its UTF-8 form.
    std::vector<std::u16string> wide;
    std::vector<std::string> converted;
    bool valid = true;
    for (const std::string &arg : args) {
        std::u16string units;
        for (std::size_t i = 0; i + 1 < arg.size(); i += 2)
            units.push_back(char16_t(uint8_t(arg[i]) | (uint8_t(arg[i + 1]) << 8)));
        std::string utf8;
        if (!launcher::utf16ToUtf8(units, utf8)) {
            valid = false;
            if (!utf8.empty())
                fail("a refused UTF-16 text still has a UTF-8 form");
        }
        wide.push_back(units);
        converted.push_back(utf8);
    }
    const launcher::RewriteResult fromWide = launcher::readArguments(wide);
    if (!valid && (fromWide.ok || fromWide.error.empty() || !fromWide.args.empty()))
        fail("an argument that is not valid UTF-16 was not refused");
    if (valid) {
        const launcher::RewriteResult fromUtf8 = launcher::rewriteArguments(converted);
        if (fromWide.ok != fromUtf8.ok || fromWide.args != fromUtf8.args)
            fail("UTF-16 arguments read otherwise than their UTF-8 form");
    }

    const launcher::RewriteResult result = launcher::rewriteArguments(args);
    if (!result.ok) {
        if (!result.args.empty())
            fail("a refused command line still has arguments");
        if (result.error.empty())
            fail("a refused command line has no message");
        return 0;
    }
    if (!result.error.empty())
        fail("an accepted command line has a message");

    // Names pass through unchanged and in order; the switches that 7-Zip
    // gets are single ones, with at most one output folder.
    if (names(result.args) != names(args))
        fail("the names changed");
    if (names(result.args).empty())
        fail("accepted without a command");
    int outputs = 0;
    for (const std::string &arg : result.args) {
        if (arg == "--")
            break;
        if (arg.size() < 2 || arg[0] != '-')
            continue;
        const char name = lower(arg[1]);
        if (name == 'y' && arg != "-y")
            fail("a switch is still glued to -y");
        if (name == 'o' && arg.size() == 2)
            fail("-o without a folder");
        if (name == 'o')
            ++outputs;
    }
    if (outputs > 1)
        fail("more than one output folder");

    // A command that opens or writes an archive always reaches 7-Zip with
    // an archive type (-t7z unless one was given), as a switch.
    std::string command = names(result.args).front();
    for (char &c : command)
        c = lower(c);
    const bool archiveCommand = command == "rn"
            || (command.size() == 1
                && std::string("adeltux").find(command[0]) != std::string::npos);
    bool typed = false;
    bool typedBefore = false;
    for (const std::string &arg : args) {
        if (arg == "--")
            break;
        typedBefore = typedBefore || (arg.size() > 1 && arg[0] == '-' && lower(arg[1]) == 't');
    }
    for (const std::string &arg : result.args) {
        if (arg == "--")
            break;
        typed = typed || (arg.size() > 1 && arg[0] == '-' && lower(arg[1]) == 't');
    }
    if (archiveCommand && !typed)
        fail("an archive command without an archive type");
    if (!archiveCommand && typed != typedBefore)
        fail("an archive type added to a command that takes none");

    // Rewriting what was rewritten changes nothing.
    const launcher::RewriteResult again = launcher::rewriteArguments(result.args);
    if (!again.ok || again.args != result.args)
        fail("rewriting is not idempotent");

    std::string line;
    std::string error;
    bool hasQuote = program.find('"') != std::string::npos;
    for (const std::string &arg : result.args)
        hasQuote = hasQuote || arg.find('"') != std::string::npos;
    if (!launcher::windowsCommandLine(program, result.args, line, error)) {
        if (!hasQuote)
            fail("a command line without double quotes was refused");
        if (error.empty() || !line.empty())
            fail("a refused command line has no message or a line");
        return 0;
    }
    if (hasQuote)
        fail("an argument with a double quote was accepted");
    std::vector<std::string> expected {program};
    expected.insert(expected.end(), result.args.begin(), result.args.end());
    if (splitLikeSevenZip(line) != expected) {
        std::fprintf(stderr, "line: [%s]\n", line.c_str());
        fail("7-Zip would read other arguments than those given");
    }
    return 0;
}
