#pragma once

// A window's child by object name, for tests that drive the real windows.

#include <QString>
#include <QWidget>

namespace zentaro::testing {

// Null when there is no such child, with a warning naming what was looked
// for, so that the failure that follows says which child was missing.
template <class T> T* Find(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return child;
}

template <class T> T* Find(QWidget& parent, const char* name) {
    return Find<T>(&parent, name);
}

} // namespace zentaro::testing
