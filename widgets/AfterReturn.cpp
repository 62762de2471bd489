// SPDX-License-Identifier: MIT
#include "AfterReturn.h"

#include <QMenu>
#include <QMetaObject>
#include <QPointer>

#include <utility>

namespace dmm {

void runAfterReturn(QObject* context, std::function<void()> work)
{
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

QAction* addCommandAfterReturn(QMenu* menu, const QString& text, QObject* context,
                               std::function<void()> work)
{
    QAction* action = menu->addAction(text);
    QObject::connect(action, &QAction::triggered, context,
                     [context, entry = QPointer<QAction>(action), work = std::move(work)] {
                         runAfterReturn(context, [entry, work] {
                             // As a trigger of a disabled entry: an entry the
                             // state disabled meanwhile does nothing.
                             if (entry && entry->isEnabled())
                                 work();
                         });
                     });
    return action;
}

} // namespace dmm
