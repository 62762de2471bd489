// SPDX-License-Identifier: MIT
#include "ViewMessages.h"

#include <QCoreApplication>

namespace dmm {

int viewMessageOf(const QEvent* event)
{
    const int type = event ? static_cast<int>(event->type()) : 0;
    return (type >= WM_DMM_UNUSED_1025 && type <= WM_BUSY_END) ? type : 0;
}

void postViewMessage(QObject* receiver, ViewMessage message, int wParam)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new ViewMessageEvent(message, wParam));
}

bool sendViewMessage(QObject* receiver, ViewMessage message, int wParam)
{
    if (!receiver)
        return false;
    ViewMessageEvent event(message, wParam);
    return QCoreApplication::sendEvent(receiver, &event);
}

} // namespace dmm
