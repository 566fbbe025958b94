#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>

namespace quillbox::windows {

// The text boxes of the windows, with a classic text box's length limit: it bounds what the
// user types, pastes, drops or composes, never what the program puts in with SetText, and it
// never leaves half of a surrogate pair behind. A limit of 0 means none.

// Single line; the limit counts UTF-16 code units.
class LineBox : public QLineEdit {
    Q_OBJECT

public:
    explicit LineBox(QWidget* parent = nullptr);
    ~LineBox() override;

    QString Text() const;
    // Use this rather than setText, which would cut the text to the limit.
    void SetText(const QString& text);
    // Leaves the current text whole even when it is longer; resets the cursor and undo history.
    void SetMaxLength(int length);
    int MaxLength() const;
    // Shows every character typed as `mask` and keeps input methods out, for passwords.
    void SetPasswordChar(QChar mask);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Limiter;

    void applyLimit(QString& input, int& pos) const;

    Limiter* limiter_;
    int limit_ = 0;
    bool settingText_ = false;
    QString accepted_;
};

// Multi-line and word-wrapping; Tab moves the focus. Text comes and goes with lines ended by
// "\r\n", and the limit counts each line break as the two characters it is stored as. Undo and
// redo only go back to states the limit already let through.
class MultiLineBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit MultiLineBox(QWidget* parent = nullptr);
    ~MultiLineBox() override;

    QString Text() const;
    // Takes lines ended by "\r\n" or "\n"; use this rather than setPlainText.
    void SetText(const QString& text);
    void SetMaxLength(int length);
    int MaxLength() const;
    // A vertical scroll bar or none; never a horizontal one, since lines wrap.
    void setScrollBars(bool vertical);

    // For a box whose one line may run to megabytes (the send list). Qt lays a paragraph out
    // whole after every key, so such a line is kept as paragraphs of about a thousand
    // characters, each break standing in for a blank of the text; the user's own line breaks
    // become line separators inside a paragraph. Text() and copying give the text back as it
    // was. Set before any text goes in.
    void SetLongLinesInPieces(bool on);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    // What of text can go in place of the selection without passing the limit.
    QString fitting(const QString& text) const;
    // Text as it goes into the document: in pieces, line breaks as line separators.
    QString toDocument(const QString& text, bool split) const;

    int limit_ = 0;
    bool pieces_ = false;
};

} // namespace quillbox::windows
