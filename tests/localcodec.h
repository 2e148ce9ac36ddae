// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_TESTS_LOCALCODEC_H
#define KRCOMMON_TESTS_LOCALCODEC_H

#include <QTextCodec>

// Sets Qt's local codec for one test, as a host may, and puts the previous one back.
class LocalCodec
{
public:
    explicit LocalCodec(const QByteArray &name)
        : m_previous(QTextCodec::codecForLocale())
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
    }
    ~LocalCodec() { QTextCodec::setCodecForLocale(m_previous); }
    LocalCodec(const LocalCodec &) = delete;
    LocalCodec &operator=(const LocalCodec &) = delete;

private:
    QTextCodec *m_previous;
};

#endif
