#pragma once

// The command-line half of the extractor front end, kept free of any system
// call so that it can be tested and fuzzed on its own.
//
// Old 7-Zip builds read a switch like "-yo<folder>" as the two switches -y
// and -o<folder>; current ones reject it ("Too long switch"). The front end
// accepts both forms and hands the real 7-Zip separate switches only.

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
// split. After "--" every argument passes through as a name.
RewriteResult rewriteArguments(const std::vector<std::string> &args);

// The program and its arguments joined into one Windows command line the way
// 7-Zip splits its own: a double quote toggles quoting and is dropped, a
// backslash is an ordinary character. Arguments holding a space, a tab, a
// line feed (7-Zip trims those at the ends of the line) or nothing are
// quoted. A double quote inside an argument cannot be handed over
// at all; then the result is false and `error` says which argument.
bool windowsCommandLine(const std::string &program, const std::vector<std::string> &args,
                        std::string &line, std::string &error);

} // namespace launcher
