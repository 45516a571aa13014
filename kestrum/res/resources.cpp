#include "kestrum/res/resources.h"

#include <iterator>

#include "kestrum/res/resource.h"

namespace {

#define STRING_RESOURCE(id, text) {RT_STRING, id, text, sizeof(text)}

const AFX_RESOURCE kResources[] = {
    STRING_RESOURCE(IDS_CANNOT_OPEN_DATABASE, "Can not open database"),
    STRING_RESOURCE(IDS_CANNOT_OPEN_ROWSET, "Can not open rowset"),
    STRING_RESOURCE(IDS_COLUMN_ID, "ID"),
    STRING_RESOURCE(IDS_COLUMN_NAME, "Name"),
    STRING_RESOURCE(IDS_COLUMN_KEYWORD, "Keyword"),
    STRING_RESOURCE(IDS_FILTER_GIF, "Gif animate file(*.gif)|*.gif||"),
    STRING_RESOURCE(IDS_FILTER_HTML, "Html Archive(*.mht)|*.mht||"),
    STRING_RESOURCE(IDS_FILTER_VIDEO,
                    "Video file(*.avi;*.mpg;*.dat;*.wmv;*.wav)|*.avi;*.mpg;*.dat;*.wmv;*.wav|All File(*.*)|*.*||"),
    STRING_RESOURCE(IDS_FILTER_FLASH, "Flash movie(*.swf)|*.swf||"),
    STRING_RESOURCE(IDS_FILTER_OTHER, "All file(*.*)|*.*||"),
    STRING_RESOURCE(IDS_CLOSE, "Close"),
    STRING_RESOURCE(IDS_TYPE_ICON, "Icon"),
    STRING_RESOURCE(IDS_TYPE_CURSOR, "Cursor"),
    STRING_RESOURCE(IDS_TYPE_IMAGE, "Image"),
    STRING_RESOURCE(IDS_TYPE_GIF, "Gif animate"),
    STRING_RESOURCE(IDS_TYPE_VIDEO, "Video"),
    STRING_RESOURCE(IDS_TYPE_FLASH, "Flash movie"),
    STRING_RESOURCE(IDS_ADD_RECORD_FAIL, "Add record to database fail!"),
    STRING_RESOURCE(IDS_MODIFY_RECORD_FAIL, "Modify record in database fail!"),
    STRING_RESOURCE(IDS_DELETE_RECORD_FAIL, "Delete record from database fail!"),
    STRING_RESOURCE(IDS_CONFIRM_REMOVE, "Are you sure you want to delete the selected resources?"),
    STRING_RESOURCE(IDS_TYPE_HTML, "HTML content"),
    STRING_RESOURCE(IDS_FILTER_ICON, "Icon file(*.ico)|*.ico||"),
    STRING_RESOURCE(IDS_FILTER_CURSOR, "Cursor file(*.cur; *.ani)|*.cur; *.ani||"),
    STRING_RESOURCE(IDS_FILTER_IMAGE, "Image file(*.jpg;*.bmp;*.gif)|*.jpg;*.bmp;*.gif||"),
    STRING_RESOURCE(IDS_RESOURCE_CONFIG, "Resource config"),
};

#undef STRING_RESOURCE

} // namespace

const AFX_RESOURCE* KestrumResources(SIZE_T* pnCount)
{
    *pnCount = std::size(kResources);
    return kResources;
}
