#pragma once

#include <QString>
#include <QStringList>

namespace quindra {

// What the command line asks for. Qt's own options (-session, which a
// session manager adds when it restores the program, -platform, -style…)
// go through to the application untouched.
struct CommandLine {
    enum class Action {
        Run,
        Help,     // print usage() and end with 0
        Version,  // print the version and end with 0
        Refuse,   // print `problem` on standard error and end with 2
    };
    Action action = Action::Run;
    QString problem;

    static CommandLine parse(const QStringList& arguments);  // without the program's name
    static QString usage();
};

}  // namespace quindra
