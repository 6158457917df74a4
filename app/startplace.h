#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// How the window is started: its command line and the folder it lists first.

// What the window's command line asks for. `arguments` are argv[1..] as
// bytes. --help and --version win over anything else on the line, so they
// work beside the options meant for Qt (-platform NAME) and before Qt has
// taken those out. A lone "--" ends the options.
struct WindowCommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QString path;     // the FOLDER or FILE given, or empty
    QString problem;  // what is wrong, for UsageError
};
WindowCommandLine ParseWindowCommandLine(const QList<QByteArray>& arguments);

// The text --help prints.
QString WindowUsage();
// The text --version prints: the program's name and the project's version.
QString WindowVersion();

// Where start-up may take the first folder from, in the order of preference
// ChooseStartPlace applies: the command line, then the last folder listed
// when it is still a folder, then the process's current folder.
struct StartSources {
    QString argument;         // the FOLDER or FILE of the command line, or empty
    QString currentFolder;    // the process's current folder (absolute)
    QString lastFolder = {};  // the folder listed when the window last closed
};

// The folder listed at start, and the file to select in it.
struct StartPlace {
    QString folder;    // absolute, cleaned
    QString fileName;  // a name in `folder` to select, or empty
    QString notice;    // for the prompt when the path given was not found
};

// A FOLDER is listed as it is; a FILE (anything else that exists) lists its
// folder with its name selected; a relative path counts from the current
// folder. A path that does not exist lists its nearest existing parent and
// says so in `notice`.
StartPlace ChooseStartPlace(const StartSources& sources);
