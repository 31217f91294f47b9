#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace mozhou {

// Every window of the program exists at most once: a request for a window that is open brings
// it to the front, one that is not open creates it through its factory. Windows are shown
// modeless and without an owner.
class WindowRegistry {
  public:
    using Factory = std::function<QWidget*()>;

    static WindowRegistry& instance();

    void registerFactory(const QString& name, Factory factory);
    void unregisterFactory(const QString& name);

    // Shows the window `name`; returns it, or nullptr when no factory knows the name.
    QWidget* show(const QString& name);
    // The open window `name`, or nullptr.
    QWidget* find(const QString& name) const;

  private:
    QHash<QString, Factory> factories_;
    // QPointer forgets a window as soon as it is destroyed, so the next request makes a new one.
    QHash<QString, QPointer<QWidget>> open_;
};

}  // namespace mozhou
