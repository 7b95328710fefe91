#pragma once

#include <QPlainTextEdit>

namespace zentaro::i18n {

// The windows' text boxes. Qt 6.4's own paste crashes on clipboard data that
// has no format at all, which is what an empty clipboard gives (the owner of
// the copied text has gone, or nothing was ever copied): such data is refused
// here before Qt sees it.
class PlainTextBox : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit PlainTextBox(QWidget* parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace zentaro::i18n
