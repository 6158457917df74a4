#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What the window keeps between starts, in the settings file
// (SettingsFilePath(), batch/writesettings.h): where it stood and how large it was,
// the folder tree's share of the width, the widths of the list's columns
// (by column code, so a changed column setup keeps the widths of the
// columns that stay) and the last folder listed. A missing or unreadable
// file gives empty values; nothing here ever stops the window from starting.
struct WindowSettings {
    QByteArray geometry;    // QWidget::saveGeometry
    QByteArray splitter;    // QSplitter::saveState
    QMap<int, int> widths;  // column code -> width in pixels
    QString lastFolder;     // exact, absolute; empty when none
};

WindowSettings ReadWindowSettings();
void WriteWindowSettings(const WindowSettings& settings);
// Writes only the last folder, which changes far more often than the rest.
void WriteLastFolder(const QString& folder);
