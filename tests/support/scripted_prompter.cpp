#include "scripted_prompter.h"

#include <gtest/gtest.h>

void ScriptedPrompter::tell(const QString& text, const QString& caption) {
    shown.append({text, caption, false});
}

void ScriptedPrompter::tellDetailed(const QString& text, const QString& caption,
                                    const QString& details) {
    shown.append({text, caption, false, details});
}

bool ScriptedPrompter::ask(const QString& text, const QString& caption) {
    shown.append({text, caption, true});
    if (answers_.isEmpty()) {
        ADD_FAILURE() << "unexpected question: " << caption.toStdString() << " / "
                      << text.toStdString();
        return false;
    }
    return answers_.takeFirst();
}
