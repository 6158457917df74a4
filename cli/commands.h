#pragma once

#include <QStringList>

// Each command of tamberlo-cli takes the arguments after its name and returns
// the exit status: 0 every file handled, 1 some skipped or failed (the
// report says which), 2 a usage error.
int CmdShow(const QStringList& args);
int CmdList(const QStringList& args);
int CmdV1(const QStringList& args);
int CmdV2(const QStringList& args);
int CmdRename(const QStringList& args);
int CmdUndo(const QStringList& args);
int CmdFixEncoding(const QStringList& args);
// help [COMMAND]: `overview` (the list of commands) or one command's text.
int CmdHelp(const QStringList& args, const QString& overview);
int CmdVersion();
// The help's lines for the v2 command's frame options, one per frame.
QString V2FrameOptionsHelp();

// Output helpers: UTF-8 on stdout / stderr.
void Out(const QString& text);
void Err(const QString& text);

// A field of a tab-separated line: a backslash, tab, line feed or carriage
// return is written as \\, \t, \n or \r, so every line stays one record.
QString EscapedField(const QString& field);
