// The picture: a holder of one graphic of any registered kind.
#pragma once
#include <memory>
#include <string>

#include "toolkit/core/Persistent.h"
#include "toolkit/graphics/Graphic.h"

class TBitmap;
class TIcon;
class TMetafile;

// A picture holds one graphic or none and fires OnChange when the graphic changes or is
// replaced. Files are read by the graphic class registered for their extension.
//
// Stored form ("Data"): the graphic's class name as a length byte and at most 63 ASCII
// characters, then what the graphic's WriteStored writes. Reading finds the class by name
// in the table of file formats, latest entry first, and raises EReadError for a name that
// is not registered.
class TPicture : public TPersistent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    TPicture();
    ~TPicture() override;

    TGraphic* Graphic() const { return graphic_.get(); }
    // Makes a new graphic of the same class as `graphic` and assigns it from `graphic`, then
    // frees the old one and notifies. Null leaves the picture empty.
    void SetGraphic(TGraphic* graphic);

    // The graphic as a bitmap; any other graphic is replaced by an empty bitmap first.
    TBitmap& Bitmap();
    // The same for an icon and a metafile.
    TIcon& Icon();
    TMetafile& Metafile();
    // The graphic as an instance of `graphicClass` (or a descendant), replacing any other by
    // an empty one of that class.
    TGraphic& GraphicOfClass(const TClass& graphicClass);

    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // By the file's extension; an unregistered one raises EInvalidGraphic. On failure the
    // picture keeps its graphic.
    void LoadFile(const std::wstring& fileName);
    // Through the graphic; an empty picture writes nothing.
    void SaveFile(const std::wstring& fileName);

    TNotifyEvent OnChange;

    void CopyIn(TPersistent* source) override;
    void DeclareStored(TFiler& filer) override;
    // Fires OnChange; the graphic's own changes arrive here too.
    virtual void NotifyChanged(TObject* sender);

protected:
    void ReadData(TStream& stream);
    void WriteData(TStream& stream);

private:
    // Takes `graphic` over (null: none), frees the old one and notifies.
    void Replace(std::unique_ptr<TGraphic> graphic);
    static std::unique_ptr<TGraphic> MakeGraphic(const TClass& graphicClass);

    std::unique_ptr<TGraphic> graphic_;
};
