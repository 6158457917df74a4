#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through a Prompter, so that tests can
// answer them. Boxes have no icon.
class Prompter {
  public:
    virtual ~Prompter() = default;
    // A message with an OK button only.
    virtual void tell(const QString& text, const QString& caption) = 0;
    // A message with an OK button and `details` (a long list, one item a
    // line) that the user can unfold under it; as tell() when `details` is
    // empty. A prompter that cannot unfold shows the details after the text.
    virtual void tellDetailed(const QString& text, const QString& caption, const QString& details);
    // A question with OK and Cancel; true when the user answered OK.
    virtual bool ask(const QString& text, const QString& caption) = 0;
};

// The real prompter: modal QMessageBox over `parent`.
class MessageBoxPrompter : public Prompter {
  public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void tell(const QString& text, const QString& caption) override;
    void tellDetailed(const QString& text, const QString& caption, const QString& details) override;
    bool ask(const QString& text, const QString& caption) override;

  private:
    QWidget* parent_;
};
