// SPDX-License-Identifier: MIT
#include "PictureButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QToolButton>

#include "AfterReturn.h"
#include "Artwork.h"

namespace dmm {

namespace {

constexpr char kPictureButtonProperty[] = "dmmPictureButton";

// What a screen reader sees of a picture button. Qt's own interface offers a
// checkable button's action as Toggle, which flips the button without running
// its click handler, and runs a press inside the screen reader's call, so a
// handler that opens a modal dialog keeps the screen reader waiting until the
// dialog closes. Here Press (and Toggle, for readers that ask for it) does
// exactly what a mouse click does, right after the call has returned.
class PictureButtonAccessible : public QAccessibleWidget
{
public:
    explicit PictureButtonAccessible(QToolButton* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = button()->isCheckable();
        state.checked = button()->isChecked();
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button()->isEnabled())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override
    {
        if (actionName != pressAction() && actionName != toggleAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        QToolButton* target = button();
        if (!target->isEnabled())
            return;
        // Queued on the button: dropped if the button is gone by then.
        runAfterReturn(target, [target] { target->click(); });
    }

private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

QAccessibleInterface* pictureButtonAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String("QToolButton") || !object ||
        !object->property(kPictureButtonProperty).toBool())
        return nullptr;
    return new PictureButtonAccessible(static_cast<QToolButton*>(object));
}

} // namespace

QToolButton* makePictureButton(QWidget* parent, const QString& art, const QString& hint,
                               const QString& disabledArt)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(pictureButtonAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    auto* button = new QToolButton(parent);
    button->setProperty(kPictureButtonProperty, true);
    button->setAutoRaise(true);
    button->setIcon(artworkIcon(art, disabledArt));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    return button;
}

} // namespace dmm
