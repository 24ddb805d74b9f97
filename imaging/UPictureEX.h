// Resource pictures: a picture holder that keeps what came from a resource out of the stored
// form, the loader that fills it from a resource of the program or of an "Image.res" beside
// it, and the JPEG graphic that draws without passing change notifications on.
#pragma once
#include <functional>
#include <string>

#include "toolkit/core/ModuleSteps.h"
#include "toolkit/graphics/JpegImage.h"
#include "toolkit/graphics/Picture.h"

class TSafetyBitmap;
class TResourceImageLoader;

// A picture that swallows change notifications raised while it is delivering one, and that
// is left out of the stored form while its content came from a resource (the form then
// holds the loader's settings only and rebuilds the picture from the resource when read).
class TPictureEx : public TPicture {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    // A change notification is being delivered.
    bool Changing() const { return changing_; }
    // The content was loaded by a TResourceImageLoader from its current settings.
    bool LoadedFromResource() const { return loadedFromResource_; }

    // Nothing while LoadedFromResource; otherwise the picture's "Data".
    void DeclareStored(TFiler& filer) override;
    // Drops a notification that arrives while one is being delivered; OnChange fires once.
    void NotifyChanged(TObject* sender) override;

private:
    friend class TResourceImageLoader;  // the only one that sets and clears the flag

    bool changing_ = false;
    bool loadedFromResource_ = false;
};

// The picture's graphic as a TSafetyBitmap (or a descendant). Any other graphic is replaced by
// an empty TSafetyBitmap first, without OnChange firing for that replacement: the load that
// follows is the change worth telling. OnChange is back in place also when that fails.
TSafetyBitmap& EnsureSafetyBitmap(TPicture& picture);
// The same for a JPEG graphic: a TJPEGImage of any kind stays, anything else is replaced by
// an empty TSafetyJPEGImage.
TJPEGImage& EnsureJPEG(TPicture& picture);

// The whole of a packed bitmap (info header, colour table, pixels: a bitmap resource) read as
// a BMP file: a file header made for it, then the packed bytes from packed's first byte, read
// where they are (a resource is in memory already; copying it to put 14 bytes in front would
// copy the picture once more). The file header is filled in as the format defines it: file
// size 14 + the resource's size, reserved fields 0, bits offset 14 + info header + colour
// table (+ 12 for the bit-field masks after a 40-byte header), kept within the file. The
// mended-header and run-length paths of the safety bitmap read that offset. Reads and seeks;
// writing fails with EWriteError. `packed` must outlive the stream, and is moved by it.
class TBitmapFileStream : public TStream {
public:
    explicit TBitmapFileStream(TStream& packed);

    static constexpr long long FileHeaderSize = 14;

protected:
    long long FetchBytes(void* buffer, long long count) override;
    long long StoreBytes(const void* buffer, long long count) override;
    long long MovePosition(long long offset, TSeekOrigin origin) override;

private:
    TStream& packed_;
    long long packedSize_;
    long long position_ = 0;
    unsigned char fileHeader_[FileHeaderSize];
};

// The JPEG graphic of resource pictures. Drawing decodes the picture on first use, which is a
// change of the graphic; passed on, it would make a picture's clients repaint from inside a
// paint. So the graphic's own OnChange is detached while it draws (and reattached on every
// path), and nothing raised during drawing reaches the picture.
class TSafetyJPEGImage : public TJPEGImage {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    void Render(TCanvas& canvas, const RECT& rect) override;
};

// Called with the opened resource stream before the loader's own handling; setting handled
// to true skips that handling (and counts as a load from the resource).
using TResourceLoadEvent = std::function<void(TStream& stream, bool& handled)>;

// Loads a picture from a resource into the picture it was made for.
//
// Where from: the resource ResName of type ResType. When ResFile is not empty and names a file
// in the running executable's folder, the resource is looked up in that 32-bit resource file
// and nowhere else; otherwise in the program's own resources. ResType "RT_BITMAP" and
// "RT_ICON" (exactly so, case-sensitive) are the bitmap and icon ordinals; any other text is a
// type name, found without regard to case.
//
// What into: a bitmap becomes a TSafetyBitmap (an existing one is reloaded); an icon an icon,
// read as icon-file data; type "METAFILE" a metafile and type "JPEG" (both in any case) a
// JPEG graphic (an existing one stays; only while the unit's steps below have started). Other
// types load nothing and raise nothing, unless OnLoad handles them.
//
// When: Load loads now. Otherwise a real change of ResFile, ResType or ResName (exact,
// case-sensitive comparison), or taking another loader's settings, reloads at once while
// AutoLoad and Ready are both set. The owner sets Ready once its own loading from a form is
// done, so settings read from a form load once, not once per setting.
//
// Stored form: "AutoLoad" (only when false), "ResFile", "ResType", "ResName" (each when not
// empty), in that order.
class TResourceImageLoader : public TPersistent {
public:
    static const TClass Class;
    const TClass& ClassType() const override { return Class; }

    // The picture is not owned and must outlive the loader.
    explicit TResourceImageLoader(TPictureEx* picture);

    TPictureEx* Picture() const { return picture_; }

    const std::wstring& ResFile() const { return resFile_; }
    void SetResFile(const std::wstring& value);
    const std::wstring& ResType() const { return resType_; }
    void SetResType(const std::wstring& value);
    const std::wstring& ResName() const { return resName_; }
    void SetResName(const std::wstring& value);

    bool AutoLoad() const { return autoLoad_; }
    void SetAutoLoad(bool value) { autoLoad_ = value; }
    bool Ready() const { return ready_; }
    void SetReady(bool value) { ready_ = value; }

    TResourceLoadEvent OnLoad;

    // Loads now; nothing when ResName or ResType is empty. Errors of the lookup and of the
    // graphic pass on, and the picture then keeps LoadedFromResource as it was.
    void Load();
    // Load, when AutoLoad and Ready are both set.
    void TryAutoLoad();

    // Into another loader: ResFile, ResName and ResType, then its picture counts as not loaded
    // from the resource and it reloads when it would for a setting of its own. AutoLoad, Ready,
    // OnLoad and the picture stay. Any other destination raises EAssignError.
    void CopyOut(TPersistent* dest) override;
    void DeclareStored(TFiler& filer) override;

    // A packed bitmap resource read into the picture's TSafetyBitmap as a TBitmapFileStream.
    void LoadBitmapResource(TStream& stream);

private:
    friend void StartPictureEx();
    friend void EndPictureEx();

    void ChangeSetting(std::wstring& field, const std::wstring& value);

    // How type "JPEG" loads, put in place by the unit's start-up step: a program that does not
    // run it (the updater, whose one picture is a bitmap) links no JPEG decoder, and "JPEG"
    // then loads nothing, as any type the loader does not know.
    static void (*loadJpeg_)(TPicture& picture, TStream& stream);

    TPictureEx* picture_;
    std::wstring resFile_;
    std::wstring resType_;
    std::wstring resName_;
    bool autoLoad_ = true;
    bool ready_ = false;
};

// Enters TSafetyJPEGImage in the picture formats for "jpg" and "jpeg" ("JPEG Image"), after
// the toolkit's and the safety bitmap's entries, so JPEG files and stored pictures of the
// class read through it, and lets the resource image loader load type "JPEG"; the end step
// undoes both.
void StartPictureEx();
void EndPictureEx();

inline constexpr TModuleSteps kPictureExSteps{L"UPictureEX", &StartPictureEx, &EndPictureEx};
