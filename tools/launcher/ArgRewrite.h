#pragma once

// The command-line half of the extractor front end, kept free of any system
// call so that it can be tested and fuzzed on its own.
//
// The archives it is given are 7z archives, and 7-Zip is told so (-t7z).
// Old 7-Zip builds read a switch like "-yo<folder>" as the two switches -y
// and -o<folder>; current ones reject it ("Too long switch"). The front end
// accepts both forms and hands the real 7-Zip separate switches only.

#include <cstddef>
#include <string>
#include <vector>

namespace launcher {

// 7-Zip's exit codes that the front end produces itself.
enum ExitCode { ExitFatalError = 2, ExitCommandLineError = 7 };

struct RewriteResult
{
    bool ok = false;
    std::vector<std::string> args; // without argv[0]
    std::string error; // a one-line message when !ok
};

// Rewrites the arguments that follow argv[0]. Arguments that are not
// switches (the command, archive and file names) and switches the front end
// does not know pass through unchanged and in place; "-y", "-o<folder>" and
// "-p<password>" are checked, and a legacy "-y" with a switch glued to it is
// split. After "--" every argument passes through as a name. For the
// commands that open or write an archive (a, d, e, l, rn, t, u, x), "-t7z"
// is added after the command unless a -t switch is given: 7-Zip then treats
// the archive as 7z only and never tries its other formats on it.
RewriteResult rewriteArguments(const std::vector<std::string> &args);

// The UTF-8 form of UTF-16 text. False, with `utf8` empty, when the text is
// not valid UTF-16 (an unpaired surrogate): such text is refused, never
// changed, as WideCharToMultiByte does with WC_ERR_INVALID_CHARS.
bool utf16ToUtf8(const std::u16string &text, std::string &utf8);

// The arguments as Windows hands them over (UTF-16, after argv[0]), read
// and rewritten. An argument that is not valid UTF-16 is a command-line
// error like any other.
RewriteResult readArguments(const std::vector<std::u16string> &args);

// The extended-length form of a full, already normalised Windows path, which
// lifts the MAX_PATH limit of the file functions: "C:\a" becomes
// "\\?\C:\a" and "\\server\share\a" becomes "\\?\UNC\server\share\a".
// A path already in that form, a device path ("\\.\") and anything that is
// not a full path (the extended form turns off all normalisation) are
// returned unchanged. For std::string and std::wstring alike.
template<class String>
String extendedLengthPath(const String &path)
{
    using Char = typename String::value_type;
    const auto is
            = [&path](std::size_t i, char c) { return i < path.size() && path[i] == Char(c); };
    const auto text = [](const char *ascii) {
        String result;
        for (; *ascii; ++ascii)
            result.push_back(Char(*ascii));
        return result;
    };
    if (is(0, '\\') && is(1, '\\')) {
        if ((is(2, '?') || is(2, '.')) && is(3, '\\'))
            return path;
        if (path.size() > 2 && !is(2, '\\'))
            return text("\\\\?\\UNC") + path.substr(1);
        return path;
    }
    const bool letter = !path.empty()
            && ((path[0] >= Char('a') && path[0] <= Char('z'))
                || (path[0] >= Char('A') && path[0] <= Char('Z')));
    if (letter && is(1, ':') && is(2, '\\'))
        return text("\\\\?\\") + path;
    return path;
}

// The program and its arguments joined into one Windows command line the way
// 7-Zip splits its own: a double quote toggles quoting and is dropped, a
// backslash is an ordinary character. Arguments holding a space, a tab, a
// line feed (7-Zip trims those at the ends of the line) or nothing are
// quoted. A double quote inside an argument cannot be handed over
// at all; then the result is false and `error` says which argument.
bool windowsCommandLine(const std::string &program, const std::vector<std::string> &args,
                        std::string &line, std::string &error);

} // namespace launcher
