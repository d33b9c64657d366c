#include "ArgRewrite.h"

#include <algorithm>

namespace launcher {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Rewrites one switch (text after the leading '-'), appending the result.
// Returns false with a message on input the front end cannot read.
bool rewriteSwitch(const std::string &body, const std::string &original, RewriteResult &result,
                   bool &haveOutput)
{
    if (body.empty() || !isLetter(body[0])) {
        result.error = "unknown switch: \"" + original + "\"";
        return false;
    }
    const char name = lower(body[0]);
    const std::string rest = body.substr(1);
    if (name == 'y') {
        result.args.push_back("-y");
        if (rest.empty())
            return true;
        // A legacy combination: "-yo<folder>", "-yp<password>", "-yy".
        return rewriteSwitch(rest, original, result, haveOutput);
    }
    if (name == 'o') {
        if (rest.empty()) {
            result.error = "missing output folder after -o in \"" + original + "\"";
            return false;
        }
        if (haveOutput) {
            result.error = "more than one output folder (\"" + original + "\")";
            return false;
        }
        haveOutput = true;
        result.args.push_back("-o" + rest);
        return true;
    }
    if (name == 'p') {
        // "-p" alone lets 7-Zip ask for the password; any text is kept as is.
        result.args.push_back("-p" + rest);
        return true;
    }
    if (body.size() != original.size() - 1) {
        // Only -y may carry another switch glued to it.
        result.error = "unknown switch \"-" + body + "\" in \"" + original + "\"";
        return false;
    }
    result.args.push_back(original);
    return true;
}

// 7-Zip's commands that open or write an archive (a, d, e, l, rn, t, u, x),
// in any case; not b, h and i, which take no archive type.
bool isArchiveCommand(const std::string &command)
{
    if (command.size() == 2)
        return lower(command[0]) == 'r' && lower(command[1]) == 'n';
    if (command.size() != 1)
        return false;
    const char c = lower(command[0]);
    return c == 'a' || c == 'd' || c == 'e' || c == 'l' || c == 't' || c == 'u' || c == 'x';
}

} // namespace

RewriteResult rewriteArguments(const std::vector<std::string> &args)
{
    RewriteResult result;
    bool haveOutput = false;
    bool haveCommand = false;
    bool namesOnly = false;
    bool haveType = false;
    std::size_t command = 0; // index of the command in result.args
    std::size_t dashDash = 0; // index of "--" in result.args, if any
    for (const std::string &arg : args) {
        if (arg.empty()) {
            result.error = "empty argument";
            result.args.clear();
            return result;
        }
        if (namesOnly || arg[0] != '-') {
            if (!haveCommand)
                command = result.args.size();
            haveCommand = true;
            result.args.push_back(arg);
            continue;
        }
        if (arg == "--") {
            namesOnly = true;
            dashDash = result.args.size();
            result.args.push_back(arg);
            continue;
        }
        haveType = haveType || lower(arg[1]) == 't';
        if (!rewriteSwitch(arg.substr(1), arg, result, haveOutput)) {
            result.args.clear();
            return result;
        }
    }
    if (!haveCommand) {
        result.error = "no command given (for example: x archive.7z)";
        result.args.clear();
        return result;
    }
    if (!haveType && isArchiveCommand(result.args[command])) {
        // The archives are 7z: 7-Zip is never to try its other formats on
        // them. Right after the command, and in any case before "--".
        const std::size_t at = namesOnly ? std::min(command + 1, dashDash) : command + 1;
        result.args.insert(result.args.begin() + std::ptrdiff_t(at), "-t7z");
    }
    result.ok = true;
    return result;
}

bool utf16ToUtf8(const std::u16string &text, std::string &utf8)
{
    utf8.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xDC00 && c <= 0xDFFF) {
            utf8.clear();
            return false;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                utf8.clear();
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            utf8 += char(c);
        } else if (c < 0x800) {
            utf8 += char(0xC0 | (c >> 6));
            utf8 += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += char(0xE0 | (c >> 12));
            utf8 += char(0x80 | ((c >> 6) & 0x3F));
            utf8 += char(0x80 | (c & 0x3F));
        } else {
            utf8 += char(0xF0 | (c >> 18));
            utf8 += char(0x80 | ((c >> 12) & 0x3F));
            utf8 += char(0x80 | ((c >> 6) & 0x3F));
            utf8 += char(0x80 | (c & 0x3F));
        }
    }
    return true;
}

RewriteResult readArguments(const std::vector<std::u16string> &args)
{
    std::vector<std::string> utf8(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!utf16ToUtf8(args[i], utf8[i])) {
            // The argument may be a password: say where, not what.
            RewriteResult result;
            result.error = "argument " + std::to_string(i + 1) + " is not valid UTF-16";
            return result;
        }
    }
    return rewriteArguments(utf8);
}

bool windowsCommandLine(const std::string &program, const std::vector<std::string> &args,
                        std::string &line, std::string &error)
{
    line.clear();
    std::vector<std::string> all {program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string &arg = all[i];
        if (arg.find('"') != std::string::npos) {
            // The argument may be a password: say where, not what.
            error = "argument " + std::to_string(i)
                    + " holds a double quote, which 7-Zip cannot receive";
            line.clear();
            return false;
        }
        if (!line.empty())
            line += ' ';
        if (arg.empty() || arg.find_first_of(" \t\n") != std::string::npos)
            line += '"' + arg + '"';
        else
            line += arg;
    }
    return true;
}

} // namespace launcher
