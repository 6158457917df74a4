#pragma once

#include <QList>
#include <QString>

#include "ui/prompter.h"

// A Prompter for tests: records every message and answers questions from a
// script. A question with no scripted answer fails the test.
class ScriptedPrompter : public Prompter {
  public:
    struct Shown {
        QString text;
        QString caption;
        bool question;
        QString details = {};  // what tellDetailed gave to unfold
    };

    // Answers for the next questions, in order (true = OK).
    void answer(bool ok) { answers_.append(ok); }

    void tell(const QString& text, const QString& caption) override;
    void tellDetailed(const QString& text, const QString& caption, const QString& details) override;
    bool ask(const QString& text, const QString& caption) override;

    QList<Shown> shown;

  private:
    QList<bool> answers_;
};
