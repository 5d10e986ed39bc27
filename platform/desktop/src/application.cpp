#include "desktop/application.h"

#include "desktop/services.h"

namespace desktop {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(error);
    }
    return false;
}

QString exceptionBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.')) return message + '.';
    return message;
}

void showException(const std::exception& error) {
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty()) title = QApplication::applicationName();
    messageBoxes().show(nullptr, {title, exceptionBoxText(QString::fromUtf8(error.what())), BoxIcon::Error});
}

} // namespace desktop
