#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Drives the next modal dialog (opened by a blocking exec()) from the event loop: `acao` gets
// the dialog once it is shown. A watchdog rejects it if the test left it open, so a failed
// check never hangs the run.
inline void quandoModal(std::function<void(QDialog*)> acao) {
    QTimer::singleShot(0, qApp, [acao] {
        QWidget* w = nullptr;
        for (int i = 0; i < 300 && !(w = QApplication::activeModalWidget()); ++i) QTest::qWait(10);
        auto* dlg = qobject_cast<QDialog*>(w);
        if (!dlg) {
            ADD_FAILURE() << "no modal dialog appeared";
            return;
        }
        // Keys reach the focused widget only once the window is active, as on a real till.
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg, 2000));
        QPointer<QDialog> guarda(dlg);
        QTimer::singleShot(5000, qApp, [guarda] {
            if (guarda && guarda->isVisible()) {
                ADD_FAILURE() << "dialog " << guarda->objectName().toStdString()
                              << " was left open";
                guarda->reject();
            }
        });
        acao(dlg);
    });
}

template <typename T = QWidget>
T* filho(QWidget* w, const char* nome) {
    T* c = w->findChild<T*>(QString::fromLatin1(nome));
    EXPECT_NE(c, nullptr) << "missing child " << nome;
    return c;
}

// Keys go where the operator's keyboard would send them: the focused widget.
inline QWidget* foco(QWidget* dlg) {
    QWidget* f = QApplication::focusWidget();
    return f ? f : dlg;
}

inline void clica(QWidget* w, const char* nome) {
    if (auto* c = filho(w, nome)) QTest::mouseClick(c, Qt::LeftButton);
}
