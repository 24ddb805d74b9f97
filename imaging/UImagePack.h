// The abstract image pack: a component holding images addressed by a zero-based index that
// tells each image's rectangle and draws it, and tells its clients of every change. Also the
// rectangle helpers packs and image controls share.
#pragma once
#include <windows.h>

#include <memory>

#include "imaging/UNotifyList.h"
#include "toolkit/core/Components.h"
#include "toolkit/core/Errors.h"

class TCanvas;
class TPicture;

TK_DECLARE_ERROR(EImagePack, Exception);

class TImagePack : public TComponent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    explicit TImagePack(TComponent* owner);
    ~TImagePack() override;

    // The callbacks NotifyChanged calls, then OnChange; both get the pack as sender.
    TNotifyList& Clients() { return *clients_; }
    TNotifyEvent OnChange;

    int Count() const { return QueryCount(); }
    void SetCount(int value) { ApplyCount(value); }
    RECT ImageRect(int index) const
    {
        RECT r;
        GetImageRect(index, r);
        return r;
    }

    virtual void NotifyChanged();
    virtual int QueryCount() const = 0;
    // A pack whose count follows from its contents raises EImagePack.
    virtual void ApplyCount(int value);
    // The image's rectangle; empty (all 0) when there is no such image.
    virtual void GetImageRect(int index, RECT& rect) const = 0;
    // A pack whose rectangles follow from its contents raises EImagePack.
    virtual void SetImageRect(int index, const RECT& rect);
    virtual int GetImageLeft(int index) const;
    virtual void SetImageLeft(int index, int value);
    virtual int GetImageTop(int index) const;
    virtual void SetImageTop(int index, int value);
    virtual int GetImageWidth(int index) const;
    virtual void SetImageWidth(int index, int value);
    virtual int GetImageHeight(int index) const;
    virtual void SetImageHeight(int index, int value);
    // Draws the image in its own size with its top-left corner at (x, y).
    virtual void Render(TCanvas& canvas, int x, int y, int index);
    // Draws the image scaled into `rect`: through a copy made by GetImage, here.
    virtual void RenderScaled(TCanvas& canvas, const RECT& rect, int index);
    // Makes `picture` a copy of the image; leaves it empty when there is none.
    virtual void GetImage(TPicture& picture, int index) = 0;
    // True for an index outside 0 .. Count - 1.
    virtual bool IsEmpty(int index) const;

private:
    std::unique_ptr<TNotifyList> clients_;
};

// Rectangle helpers. All scaling goes through the system's MulDiv (rounded, -1 when the
// divisor is 0 or the result does not fit), whose results the image controls rely on.
int RectWidth(const RECT& r);
int RectHeight(const RECT& r);
// The centre, each coordinate halved toward zero.
POINT RectCenter(const RECT& r);
// The same size, moved so that its centre is `p`.
RECT MoveRectCenter(const RECT& r, POINT p);
// The largest size with r's aspect ratio inside maxWidth x maxHeight, at r's top-left
// corner; full height when both fit exactly. May be larger than r.
RECT FitRect(const RECT& r, int maxWidth, int maxHeight);
// FitRect of src to the size of bounds, centred in bounds.
RECT FitRectCentered(const RECT& src, const RECT& bounds);
