#pragma once

#include "online/protocol.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

namespace Ui {
class TFeedbackForm;
}

namespace zentaro::online {

class ChoicePanel;

// The feedback window: a free text, optionally marked "I like it!" or "I dislike
// it!" and with an e-mail address, sent at once to the maker's server. Destroys
// itself when it closes, so every opening starts empty.
class TFeedbackForm : public QDialog {
    Q_OBJECT

public:
    struct Inputs {
        QString AppProductName;
        QString AppTitle;
        QString AppVersion;
        ServerAccess server;
    };

    explicit TFeedbackForm(Inputs inputs, QWidget* parent = nullptr);
    ~TFeedbackForm() override;

    // Handlers, public so that every one can also be driven directly.
    void Image1MouseDown(Qt::MouseButton button);
    void Image2MouseDown(Qt::MouseButton button);
    void BitBtn1Click();

    // A panel is selected whenever its background is not the button face.
    static bool IsSelected(const ChoicePanel* panel);
    // Whether the window waits for the server.
    bool sending() const { return sending_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void Choose(ChoicePanel* clicked, ChoicePanel* other);
    void SetSelected(ChoicePanel* panel, bool selected);
    void LimitMemo();
    // The two-attempt exchange on a thread of its own; meanwhile the window
    // repaints but takes no input.
    std::optional<QString> Send(const QStringList& fields);

    std::unique_ptr<Ui::TFeedbackForm> ui;
    Inputs inputs_;
    bool sending_ = false;
};

} // namespace zentaro::online
