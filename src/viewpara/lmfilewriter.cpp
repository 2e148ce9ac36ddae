// SPDX-License-Identifier: MIT
// Writing the model as a view parameter file.
#include "viewpara/lmfile.h"

#include "platform/savefile.h"

#include <QString>

#include <cstring>
#include <string>

namespace {

// Text is gathered into one large buffer and handed to the save file in big
// chunks, converted straight from the QStrings without a QByteArray per line.
class ChunkWriter
{
public:
    explicit ChunkWriter(krcommon::platform::RawSaveFile &file)
        : m_file(file)
    {
        m_buffer.reserve(chunkSize + 4096);
    }

    void write(const char *text) { append(text, std::strlen(text)); }

    // A path, one byte per QChar, as Latin-1; what Latin-1 cannot hold
    // becomes '?'. A path the reader would not give back, one holding LF or
    // NUL or ending in CR, fails the save: its line break would plant lines
    // of its own in the file.
    void writePath(const QString &text)
    {
        const QChar *p = text.constData();
        const std::size_t size = std::size_t(text.size());
        const std::size_t start = m_buffer.size();
        m_buffer.resize(start + size);
        char *out = &m_buffer[start];
        // Branch-free, so that the compiler vectorises the loop.
        unsigned breaks = size > 0 && p[size - 1] == QLatin1Char('\r');
        for (std::size_t i = 0; i < size; ++i) {
            const ushort c = p[i].unicode();
            out[i] = c <= 0xff ? char(c) : '?';
            breaks |= unsigned(c == '\n') | unsigned(c == 0);
        }
        if (breaks)
            m_ok = false;
        flushIfFull();
    }

    bool finish()
    {
        flush();
        return m_ok;
    }

private:
    static constexpr std::size_t chunkSize = std::size_t(1) << 20;

    void append(const char *text, std::size_t size)
    {
        m_buffer.append(text, size);
        flushIfFull();
    }

    void flushIfFull()
    {
        if (m_buffer.size() >= chunkSize)
            flush();
    }

    void flush()
    {
        if (m_ok && !m_buffer.empty())
            m_ok = m_file.write(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }

    krcommon::platform::RawSaveFile &m_file;
    std::string m_buffer;
    bool m_ok = true;
};

void writeSection(ChunkWriter &out, const CLMFile::PathList &list)
{
    for (const QString &path : list.paths()) {
        out.writePath(path);
        out.write("\n");
    }
    // NOTE: every section ends with a blank line; readers rely on it as a separator.
    out.write("\n");
}

// NOTE: a sensor type is written inside its header line, so a CR there is
// as harmful as a LF, and a NUL would end the header's text on reading.
bool holdsLineBreak(const QString &sensorType)
{
    for (const QChar c : sensorType) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
            return true;
    }
    return false;
}

} // namespace

bool CLMFile::save2File(const char *path) const
{
    if (!path)
        return false;
    // Refused before the file is touched: the model would not read back the same.
    for (int i = 0; i < m_SensorTypeList.size(); ++i) {
        if (!m_SatPhotoLists[std::size_t(i)]->isEmpty() && holdsLineBreak(m_SensorTypeList.at(i)))
            return false;
    }
    // The new content replaces the target only when it is complete (or, where
    // the target must be written in place, only once commit() is reached).
    krcommon::platform::RawSaveFile file;
    if (!file.open(path))
        return false;

    ChunkWriter out(file);
    if (!m_GeoSysGcd.isEmpty()) {
        out.write("GeoSysGcd\n");
        out.writePath(m_GeoSysGcd);
        out.write("\n\n");
    }
    for (const TypeSection &section : typeSections) {
        const PathList &list = this->*section.list;
        if (list.isEmpty())
            continue;
        out.write(section.keyword);
        out.write("\n");
        writeSection(out, list);
    }
    for (int i = 0; i < m_SensorTypeList.size(); ++i) {
        const PathList &group = *m_SatPhotoLists[std::size_t(i)];
        if (group.isEmpty())
            continue; // an empty group leaves no trace in the file
        out.write("SatPhoto [SensorType = ");
        out.writePath(m_SensorTypeList.at(i));
        out.write("]\n");
        writeSection(out, group);
    }

    // A save that is not committed is cancelled when the file goes.
    return out.finish() && file.commit();
}
