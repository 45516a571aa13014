#include "afx/win32/path.h"

#include <cstring>

namespace {

void CopyCut(const std::string& part, char* out, size_t size)
{
    if (!out)
        return;
    size_t n = part.size() < size - 1 ? part.size() : size - 1;
    std::memcpy(out, part.data(), n);
    out[n] = '\0';
}

} // namespace

AfxPathParts AfxSplitPath(const std::string& path)
{
    AfxPathParts parts;
    size_t slash = path.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    parts.dir = path.substr(0, nameStart);
    std::string name = path.substr(nameStart);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        parts.fname = name;
    } else {
        parts.fname = name.substr(0, dot);
        parts.ext = name.substr(dot);
    }
    return parts;
}

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext)
{
    AfxPathParts parts = AfxSplitPath(path ? path : "");
    CopyCut(parts.drive, drive, _MAX_DRIVE);
    CopyCut(parts.dir, dir, _MAX_DIR);
    CopyCut(parts.fname, fname, _MAX_FNAME);
    CopyCut(parts.ext, ext, _MAX_EXT);
}
