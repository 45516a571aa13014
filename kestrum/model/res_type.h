// The type codes of resources, as stored in archives and in the database.
#pragma once

enum ResourceType {
    RESTYPE_IMAGE = 1,
    RESTYPE_ICON = 2,
    RESTYPE_GIF = 3,
    RESTYPE_VIDEO = 4,
    RESTYPE_CURSOR = 5,
    RESTYPE_HTML = 6,
    RESTYPE_FLASH = 7,
};
