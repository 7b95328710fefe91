#pragma once

#include "platform/opener.h"
#include "platform/restart.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

class QMenu;

namespace Ui {
class TTranslateForm;
}

namespace zentaro::i18n {

// What the language window needs from around it.
struct TranslateFormEnvironment {
    std::string serverHost;
    // Where the restart script is written; a separator is added when missing.
    std::string DataFolder;
    // The program started again after the restart.
    std::string executablePath;
    std::shared_ptr<platform::Opener> opener;
    std::shared_ptr<platform::Restarter> restarter;
    // The main window's SetLanguageFile: hands over the chosen file name. False,
    // with the reason in why, when the choice cannot be kept for the next start.
    std::function<bool(const QString& file, QString& why)> SetLanguageFile;
    // Ends the application once the restart is under way.
    std::function<void()> endApplication;
};

// The language window: the languages of the files in the languages folder, each with
// its flag, who translated the selected one, and a restart in the chosen language.
// It reads the language state the program loaded at start-up.
class TTranslateForm : public QDialog {
    Q_OBJECT

public:
    explicit TTranslateForm(TranslateFormEnvironment environment, QWidget* parent = nullptr);
    ~TTranslateForm() override;

    // The entry selected when the window had opened.
    const QString& InitialLanguage() const { return InitialLanguage_; }

    // Handlers, public so that tests can drive them.
    void ComboBox1Change();
    void Copy1Click();
    void SelectAll1Click();
    void Label3Click();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void Restart(const QString& language);
    void ShowError(const QString& message);

    std::unique_ptr<Ui::TTranslateForm> ui;
    TranslateFormEnvironment env_;
    QMenu* PopupMenu1 = nullptr;
    QString InitialLanguage_;
};

} // namespace zentaro::i18n
