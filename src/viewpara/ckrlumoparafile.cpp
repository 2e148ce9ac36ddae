// SPDX-License-Identifier: MIT
#include "CKrLumoParaFile.h"

#include "viewpara/viewparafileimp.h"

#include <memory>
#include <utility>

namespace {

// A new implementation object, adopted by the facade's shared pointer, which
// takes the first reference.
template<typename... Args>
QExplicitlySharedDataPointer<CKrViewParaFileImp> makeImp(Args &&...args)
{
    return QExplicitlySharedDataPointer<CKrViewParaFileImp>(
        std::make_unique<CKrViewParaFileImp>(std::forward<Args>(args)...).release());
}

} // namespace

CKrLumoParaFile::CKrLumoParaFile()
    : m_pImp(makeImp())
{}

CKrLumoParaFile::CKrLumoParaFile(IMAGE_TYPE_INFO info)
{
    // NOTE: a facade always works on source data; the record's own category
    // is not used, only its sensor and kind of photograph.
    IMAGE_TYPE_INFO record;
    record.sensorType = std::move(info.sensorType);
    record.imageType = info.imageType;
    record.category = "SourceData";
    m_pImp = makeImp(std::move(record));
}

// Copies share one implementation; the reference count frees it after the last.
CKrLumoParaFile::CKrLumoParaFile(const CKrLumoParaFile &other) = default;

CKrLumoParaFile &CKrLumoParaFile::operator=(const CKrLumoParaFile &other) = default;

CKrLumoParaFile::~CKrLumoParaFile() = default;

bool CKrLumoParaFile::load4File(const char *path)
{
    return m_pImp->load4File(path);
}

bool CKrLumoParaFile::save2File(const char *path)
{
    return m_pImp->save2File(path);
}

bool CKrLumoParaFile::addViewFile(const char *path, bool isGeoSysGcd)
{
    return m_pImp->addViewFile(path, isGeoSysGcd);
}

bool CKrLumoParaFile::delViewFile(const char *path)
{
    return m_pImp->delViewFile(path);
}

void CKrLumoParaFile::removeParaFile(const char *path)
{
    m_pImp->removeParaFile(path);
}

int CKrLumoParaFile::isCanShow(const char *path)
{
    return m_pImp->isCanShow(path, false);
}
