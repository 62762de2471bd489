// SPDX-License-Identifier: MIT
#include "ShellFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QToolButton>

#include "WindowMetrics.h"

ShellFixture::ShellFixture(const QString& directory, int iPort)
    : m_previousDirectory(QDir::currentPath())
{
    if (iPort > 0) {
        QFile settings(QDir(directory).filePath(QStringLiteral("MLQDL.ini")));
        if (settings.open(QIODevice::WriteOnly | QIODevice::Text))
            settings.write(
                QStringLiteral("iPort=%1\nfHiLimit=3\nfLowLimit=1\n").arg(iPort).toLatin1());
    }
    QDir::setCurrent(directory);
    dmm::setMessageBoxHandler([this](const dmm::MessageBoxRequest& request) {
        m_captions << request.caption;
        m_boxes << request;
        return m_answers.isEmpty() ? m_answer : m_answers.takeFirst();
    });
    m_main = std::make_unique<dmm::TFormMain>();
    m_main->show();
    dmm::learnFrameMargins(m_main.get());
    m_main->placeStrip();
    m_windows = std::make_unique<dmm::AppWindows>(m_main.get());
    m_main->setWindows(m_windows.get());
}

ShellFixture::~ShellFixture()
{
    if (m_main && m_main->isVisible())
        m_main->close();
    m_windows.reset();
    m_main.reset();
    dmm::setMessageBoxHandler({});
    QDir::setCurrent(m_previousDirectory);
}

void ShellFixture::clickLink()
{
    QTest::mouseClick(m_main->sbtnLink, Qt::LeftButton);
}
