// Answers the modal dialogs a test's code opens, from inside the test, as a
// person would: each handler gets the next modal widget that appears and
// acts on it (reads it, types, clicks). Handlers run in order, one for each
// new modal widget.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>

class ModalScript {
public:
    using Handler = std::function<void(QWidget*)>;

    ModalScript()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(5);
    }

    // The handler for the next modal widget to appear.
    ModalScript& Then(Handler handler)
    {
        m_handlers.push_back(std::move(handler));
        return *this;
    }

    // Every handler ran.
    bool Done() const { return m_handlers.empty(); }
    int Handled() const { return m_handled; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last || m_handlers.empty() || !modal->isVisible())
            return;
        m_last = modal;
        Handler handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        ++m_handled;
        handler(modal);
    }

    QTimer m_timer;
    std::deque<Handler> m_handlers;
    QPointer<QWidget> m_last;
    int m_handled = 0;
};

// What a message box showed.
struct SeenBox {
    std::string text;
    std::string title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<std::string> buttons;
};

// A handler that records the box and clicks the button with that text.
inline ModalScript::Handler ClickBoxButton(const QString& buttonText, SeenBox* seen = nullptr)
{
    return [buttonText, seen](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return;
        if (seen) {
            seen->text = box->text().toStdString();
            seen->title = box->windowTitle().toStdString();
            seen->icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                seen->buttons.push_back(b->text().remove('&').toStdString());
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text().remove('&') == buttonText) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        }
    };
}
