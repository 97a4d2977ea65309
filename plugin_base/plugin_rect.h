// CPluginRect: the rectangle value of all window and drawing geometry.
//
// Edges are int16. Constructing from a position and a size cuts each sum to
// 16 bits; getWidth()/getHeight() are the uint16 differences (a negative
// difference wraps). The NPRect view is a cache filled only by getNPRect()
// or the conversion operator; it takes no part in comparison or assignment.
#pragma once

#include "plugin_base/npapi.h"
#include "plugin_base/papi_events.h"
#include "platform/qv_types.h"

class CPluginRect {
public:
    CPluginRect();
    CPluginRect(Int16 x, Int16 y, UInt16 width, UInt16 height);
    explicit CPluginRect(const papi_rect_t& rect);
    explicit CPluginRect(const NPRect& rect);
    CPluginRect(const CPluginRect& other);

    virtual CPluginRect& operator=(const CPluginRect& other);
    virtual bool operator==(CPluginRect& other);
    virtual bool operator!=(CPluginRect& other);
    // The four edges copied into the cache; the reference stays valid while
    // the rectangle lives and changes with the next conversion.
    virtual operator const NPRect&();
    virtual Int16 getX();
    virtual Int16 getY();
    virtual UInt16 getWidth();
    virtual UInt16 getHeight();
    virtual Int16 getTop();
    virtual Int16 getLeft();
    virtual Int16 getBottom();
    virtual Int16 getRight();
    const NPRect& getNPRect();

private:
    Int16 top;
    Int16 left;
    Int16 bottom;
    Int16 right;
    NPRect mNPRect;
};
