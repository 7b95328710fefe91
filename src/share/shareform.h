#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class TFormShare;
}

namespace zentaro::share {

// The export window: the report in an editable text box, and a button that
// saves it as a text file. Modeless; it frees itself when closed.
class TFormShare : public QWidget {
    Q_OBJECT

public:
    explicit TFormShare(QWidget* parent = nullptr);
    ~TFormShare() override;

    // Appends one line of the report.
    void AddLine(const QString& line);

    void Button1Click();

    // The file the save dialog proposes: its folder and its name.
    void SetSuggestedFile(const QString& path);

private:
    // Asks before an existing file is replaced; true for Yes.
    static bool ConfirmReplace(const QString& path);
    void ShowFailure(const QString& path, const QString& reason);
    // Writes the text to path, replacing a file of that name only once the
    // new one is complete. Empty on success, else the reason.
    static QString Save(const QString& path, const QString& text);

    std::unique_ptr<Ui::TFormShare> ui;
    QString suggestedFile_;
};

} // namespace zentaro::share
