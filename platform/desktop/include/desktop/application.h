#pragma once
#include <QApplication>

#include <exception>

namespace desktop {

// The application object: an error raised in an event handler and not handled there is shown in
// the standard error box (the application's title as caption, the error's text, a stop icon), and
// the program goes on.
class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the standard error box for `error` (also usable where no event dispatch is involved).
void showException(const std::exception& error);

// The text the standard error box shows for an error message: a final full stop is added unless
// the message already ends in one (or in a character at or below '.').
QString exceptionBoxText(const QString& message);

} // namespace desktop
