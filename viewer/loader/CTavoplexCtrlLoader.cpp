// CTavoplexCtrl: one loader pass over the phases init, descriptor, fetch, parse and build.
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/MemoryBlockC.h"
#include "geometry/readers/ReadStop.h"
#include "geometry/readers/ZJVReaderC.h"
#include "platform/WebAddress.h"
#include "platform/sys.h"
#include "services/files/UTFilePath.h"
#include "services/xml/XMLDocumentC.h"
#include "services/xml/XMLTagC.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/loader/DescriptorNames.h"
#include "viewer/loader/UnzipToBlock.h"
#include "viewer/render/DrawPacerC.h"

#include <new>
#include <string>

using platform::Reason;
using platform::ReasonText;
using platform::reasonText;

namespace {

// Parts whose lists are compiled between two looks at the renderer's room.
constexpr size_t kPartsPerRoomCheck = 1024;

// How a fetch of the model ended: the bytes are there; it may work later (a missing file, a
// server that did not answer); or it never will (the bytes are no archive, the entry is not
// in it).
enum class Fetched { Ok, Retry, Fail };

bool isServedFolder(const RWCString& folder) { return folder.contains("://"); }

RWCString fromText(const std::string& text) { return RWCString(text.data(), text.size()); }

// Where the descriptor's XML stopped making sense, as a failure reason's `what`.
ReasonText xmlFailure(const XMLDocumentC& document)
{
    return reasonText(Reason::XmlLine, document.getErrorLine(), platform::OutsideWords(document.getErrorMessage()));
}

// The type of a model: its name's extension, an address's taken from its path alone (a download
// link's query or fragment, "part.stl?v=2", is no part of it; nor is a host without a path).
RWCString lowerExtension(const RWCString& name)
{
    const std::string text(name.data(), name.length());
    const size_t start = platform::address::pathStart(text);
    RWCString ext = UTFilePath(fromText(text.substr(start, platform::address::pathEnd(text) - start))).extension();
    ext.toLower();
    return ext;
}

}  // namespace

// Fetches name into target, unzipping asked: a name whose lower-cased form holds ".zip" or
// ".zjv" is an archive whose item 0 is what target receives. A failure leaves its reason.
static Fetched fetchModelBytes(CTavoplexCtrl& control, const RWCString& name, MemoryBlockC& target)
{
    const int result = control.LoadFileInternal(name, target, true);
    if (result != 0)
        control.SetFailureReason(name, control.FetchFailure);
    if (result == CTavoplexCtrl::FetchFailed)
        return Fetched::Retry;
    if (result != 0)
        return Fetched::Fail;  // the bytes came, but hold no archive or no whole item 0
    if (target.GetSize() == 0) {
        // An empty file, or an archive whose item 0 is empty (the fetch says why), is no model.
        control.SetFailureReason(name, control.FetchFailure.empty() ? reasonText(Reason::EmptyFile) : control.FetchFailure);
        return Fetched::Fail;
    }
    return Fetched::Ok;
}

// The descriptor's entry of the fetched archive, itself an archive whose item 0 is the ZJV text,
// into the reader's buffer. A failure leaves its reason.
static Fetched unpackNamedEntry(CTavoplexCtrl& control, const MemoryBlockC& archive)
{
    const RWCString& path = control.ArchivePath;
    const RWCString& name = control.ArchiveEntry;
    if (name.isNull()) {
        if (lowerExtension(control.FileName) != "xml") {
            control.SetFailureReason(path, reasonText(Reason::NoEntryToUnpack));
            return Fetched::Fail;
        }
        // The descriptor named no entry: the fault is the descriptor's, most often XML that
        // stopped making sense before the entry's name.
        XMLDocumentC document;
        const MemoryBlockC* text = control.DescriptorBlock.get();
        const bool parsed = document.parseString(text != nullptr && text->GetData() != nullptr ? text->GetData() : "");
        control.SetFailureReason(control.FileName, parsed ? reasonText(Reason::NamesNoEntry) : xmlFailure(document));
        return Fetched::Fail;
    }
    MemoryBlockC entry;
    ReasonText why;
    if (!UnzipNamedFromMemory(archive.GetData(), archive.GetSize(), name.data(), "", entry, &why)) {
        control.SetFailureReason(path, archive.GetSize() == 0 ? reasonText(Reason::EmptyFile) : why);
        return Fetched::Fail;
    }
    // The entry is an archive of its own: its failures name it inside the outer one.
    const RWCString inner = path + "/" + name;
    if (!UnzipIndexFromMemory(entry.GetData(), entry.GetSize(), 0, "", control.Reader->buffer(), &why, nullptr)) {
        control.SetFailureReason(inner, entry.GetSize() == 0 ? reasonText(Reason::EmptyFile) : why);
        return Fetched::Fail;
    }
    if (control.Reader->buffer().GetSize() == 0) {
        control.SetFailureReason(inner, EmptyFirstEntryReason(entry.GetData(), entry.GetSize()));
        return Fetched::Fail;
    }
    return Fetched::Ok;
}

RWCString CTavoplexCtrl::FailureText(const RWCString& where, const ReasonText& what)
{
    // A name may hold line ends and other control characters: shown escaped, the reason stays
    // one line and says what the name holds. No address in it shows its password.
    return fromText(platform::address::withoutPasswords(
        reasonText(Reason::Named,
                   platform::sys::escapeControlCharacters(
                       platform::address::withoutPassword(std::string(where.data(), where.length()))),
                   platform::sys::escapeControlCharacters(what.str()))
            .str()));
}

void CTavoplexCtrl::SetFailureReason(const RWCString& where, const ReasonText& what)
{
    FailureReason = FailureText(where, what);
}

void CTavoplexCtrl::FailLoadForCaughtException()
{
    ReasonText what;
    try {
        throw;
    } catch (const DrawPacerC::Stalled&) {
        // Lost as after a frame that stalls, for the want of memory that makes the renderer fail.
        RendererLost = true;
        DrawingFailed = true;
        what = reasonText(Reason::NoMemoryToDraw);
    } catch (const std::bad_alloc&) {
        what = reasonText(Reason::NoMemoryToLoad);
    } catch (...) {
        what = reasonText(Reason::FailedUnexpectedly);
    }
    LoadFailed = true;
    SetFailureReason(LoaderInitialized ? ArchivePath : FileName, what);
    // A loading frame tells a failure when it ends the load; one found after the load ended
    // (its last step, finished behind the frames) is told here.
    if (!Loading)
        LogLoadFailure();
}

const std::string CTavoplexCtrl::NoModelNamed = reasonText(Reason::NoModelNamed).str();

RWCString CTavoplexCtrl::ModelPath() const
{
    // A name with ":" (a scheme, a drive) stands as it is; so does a name from the root when
    // the page itself is local. On a served page the folder is put in front even then, which
    // keeps root-relative names on the server.
    const bool absolute = FileName.contains(":") || (FileName.length() > 0 && FileName.data()[0] == '/' &&
                                                     !isServedFolder(HostFolder));
    return absolute ? FileName : HostFolder + FileName;
}

RWCString CTavoplexCtrl::FailureBeforeLoad() const
{
    // Decided on the name as given: with the page's folder in front, no name would read as
    // the folder itself.
    if (FileName.isNull())
        return fromText(NoModelNamed);
    const RWCString path = ModelPath();
    // A local file the file system refuses now it refuses at the fetch too: no pass is retried
    // for it.
    if (!isServedFolder(path))
        if (const ReasonText why = platform::sys::whyFileUnreadable(std::string(path.data(), path.length()));
            !why.empty())
            return FailureText(path, why);
    const ReasonText unknown = UnknownModelType(path);
    return unknown.empty() ? RWCString() : FailureText(path, unknown);
}

void CTavoplexCtrl::LogLoadFailure()
{
    LogLoadFailure(FailureReason.isNull() ? "\"" + Shown(FileName) + "\"" : FailureReason);
}

void CTavoplexCtrl::LogLoadFailure(const RWCString& reason)
{
    // Escaped as the container shows it: the log stays one line per entry.
    WriteLog("    Loading failed: " +
             fromText(platform::sys::escapeControlCharacters(std::string(reason.data(), reason.length()))) + "\n");
}

void CTavoplexCtrl::LogFailureBeforeLoad()
{
    if (!Loading || LoaderInitialized || FailureBeforeLoadLogged)
        return;
    const RWCString reason = FailureBeforeLoad();
    if (reason.isNull())
        return;
    FailureBeforeLoadLogged = true;
    LogLoadFailure(reason);
}

RWCString CTavoplexCtrl::Shown(const RWCString& name)
{
    return fromText(platform::address::withoutPassword(std::string(name.data(), name.length())));
}

ReasonText CTavoplexCtrl::UnknownModelType(const RWCString& name)
{
    const RWCString ext = lowerExtension(name);
    if (ext == "stl" || ext == "zjv" || ext == "zip" || ext == "xml")
        return {};
    return ext.isNull() ? reasonText(Reason::NoExtension) : reasonText(Reason::UnknownModelType, ext);
}

bool CTavoplexCtrl::RunLoader()
{
    if (!LoaderInitialized) {
        WriteLog("    Initializing loader.\n");
        DescriptorBlock.reset();
        DescriptorBlock = std::make_unique<MemoryBlockC>();
        ZjvReady = false;
        LoadFailed = false;
        PartListsFailed = false;
        FailureReason = RWCString();
        StlReady = false;
        const bool named = !FileName.isNull();
        FileName = ModelPath();
        WriteLog("    filename = " + Shown(FileName) + "\n");
        // Whatever still points into the old model goes with it.
        Animations.RemoveModelAnimations();
        ZoomPending = false;
        ZoomPart = nullptr;
        ReleaseModel();
        Parts = std::make_unique<FEDisplayPartListC>();
        ThreadLimitLogged = false;
        Reader.reset();
        Reader = std::make_unique<ZJVReaderC>();
        Exploded = false;
        ViewTurn = 0;
        ArchivePath = FileName;
        IsDescriptor = lowerExtension(ArchivePath) == "xml";
        LoaderInitialized = true;
        LoadStartTick = LoaderTick();
        if (!named) {
            LoadFailed = true;
            FailureReason = fromText(NoModelNamed);
            return false;
        }
    }

    if (IsDescriptor) {
        WriteLog("    File is XML.\n");
        WriteLog("    Start loading XML file to memory.\n");
        const int descriptorFetch = LoadFileInternal(ArchivePath, *DescriptorBlock, false);
        if (descriptorFetch == 0) {
            XMLDocumentC document;
            document.setAutoCreate(true);
            // The names' references are decoded into the names' own encoding, not into one byte.
            document.setEntityFlags(0);
            const bool parsed =
                document.parseString(DescriptorBlock->GetData() != nullptr ? DescriptorBlock->GetData() : "");
            XMLTagC* section = document.getRootTag()->getChild("ORDER")->getChild("SECTION");
            RWCString archive;
            ReasonText unread;
            bool readable = DescriptorName(document, section->getChild("ZIPFILE")->getText(), archive, unread);
            readable = DescriptorName(document, section->getChild("CONTENTS")->getChild("PART")->getChild("FILENAME")->getText(),
                                      ArchiveEntry, unread) && readable;
            if (!readable) {
                LoadFailed = true;
                SetFailureReason(ArchivePath, unread);
            } else if (lowerExtension(archive) == "xml") {
                LoadFailed = true;
                SetFailureReason(ArchivePath, reasonText(Reason::NamesDescriptor, archive));
            } else if (archive.isNull()) {
                LoadFailed = true;
                if (DescriptorBlock->GetSize() == 0)
                    SetFailureReason(ArchivePath, reasonText(Reason::EmptyFile));
                else if (!parsed)
                    SetFailureReason(ArchivePath, xmlFailure(document));
                else
                    SetFailureReason(ArchivePath, reasonText(Reason::NamesNoArchive));
            }
            ArchivePath = DescriptorArchivePath(ArchivePath, archive);
            IsDescriptor = false;
        } else {
            SetFailureReason(ArchivePath, FetchFailure);
            LoadFailed = descriptorFetch == FetchRefused;  // no later pass would fare better
        }
        WriteLog("    End loading XML file to memory.\n");
        if (IsDescriptor) {
            if (uint32_t(LoaderTick() - LoadStartTick) >= kLoadRetryLimitMs)
                LoadFailed = true;
            return false;
        }
    }

    WriteLog("    File is _not_ XML.\n");
    MemoryBlockC stlBlock;  // lives for this pass only: STL is fetched and parsed in one pass
    Fetched fetched = Fetched::Retry;
    if (!ZjvReady && !LoadFailed) {
        const RWCString ext = lowerExtension(ArchivePath);
        if (ext == "zjv") {
            WriteLog("    Start loading ZJV geometry.\n");
            fetched = fetchModelBytes(*this, ArchivePath, Reader->buffer());
            WriteLog("    End loading ZJV geometry.\n");
            ZjvReady = fetched == Fetched::Ok;
        } else if (ext == "stl") {
            WriteLog("    Start loading STL geometry.\n");
            fetched = fetchModelBytes(*this, ArchivePath, stlBlock);
            WriteLog("    End loading STL geometry.\n");
            StlReady = fetched == Fetched::Ok;
        } else if (ext == "zip") {
            // The entry named by the descriptor is itself an archive whose first item is the
            // ZJV text.
            WriteLog("    Start loading ZIP geometry.\n");
            MemoryBlockC archive;
            const int archiveFetch = LoadFileInternal(ArchivePath, archive, false);
            if (archiveFetch == 0) {
                WriteLog("    Unpacking ZIP.\n");
                fetched = unpackNamedEntry(*this, archive);
            } else {
                SetFailureReason(ArchivePath, FetchFailure);
                if (archiveFetch == FetchRefused)
                    fetched = Fetched::Fail;
            }
            WriteLog("    End loading ZIP geometry.\n");
            ZjvReady = fetched == Fetched::Ok;
        } else {
            fetched = Fetched::Fail;
            SetFailureReason(ArchivePath, UnknownModelType(ArchivePath));
        }
        if (fetched == Fetched::Fail)
            LoadFailed = true;
    }

    if (ZjvReady) {
        WriteLog("    Parsing ZJV in memory.\n");
        ReadStop stop;
        Reader->setPartLimit(PartLimit);
        Reader->setPlacementLimit(PlacementLimit);
        Reader->parse(Parts.get(), &stop);
        const bool tooManyParts = Reader->partLimitReached();
        if (tooManyParts || Reader->placementLimitReached()) {
            LoadFailed = true;
            // Whatever was read up to the limit, the failed load keeps none of it.
            Parts = std::make_unique<FEDisplayPartListC>();
            SetFailureReason(ArchivePath, tooManyParts ? reasonText(Reason::TooManyParts, groupedNumber(PartLimit))
                                                       : reasonText(Reason::TooManyPlacements, groupedNumber(PlacementLimit)));
            return false;
        }
        if (Parts->partCount() == 0) {
            LoadFailed = true;
            SetFailureReason(ArchivePath, stop.stopped() ? stop.reason : reasonText(Reason::ZjvNoPart));
            return false;
        }
    } else if (StlReady) {
        WriteLog("    Parsing STL in Memory.\n");
        refHandle<FEDisplayPartC> part(new FEDisplayPartC);
        ReadStop stop;
        // The file's bytes go as the mesh is made of them: both whole would raise the peak.
        if (!part->readSTLConsuming(stlBlock, &stop)) {
            // The reader says where and why of every read it fails.
            LoadFailed = true;
            SetFailureReason(ArchivePath, stop.reason);
            return false;
        }
        // The file's bytes are in the mesh now; the passes below need their room.
        stlBlock.Free();
        part->setName(RWCString());
        part->setColor(feColor(0.69f, 0.69f, 0.69f, 0.0f));
        part->finalize(-1.0);
        part->smoothNormals();
        Parts->getParts().append(part);
        Parts->getInstances().append(new FEDisplayPartRefC(0, part.get(), TransformMatrix(), TransformMatrix()));
    } else {
        if (!LoadFailed && uint32_t(LoaderTick() - LoadStartTick) >= kLoadRetryLimitMs)
            LoadFailed = true;
        return false;
    }

    OpenGLLock lock(*this);
    SceneMin = Point3D(1e300, 1e300, 1e300);
    SceneMax = Point3D(-1e300, -1e300, -1e300);
    WriteLog("    Make List from Mesh.\n");
    auto& parts = Parts->getParts();
    for (size_t i = 0; i < parts.entries(); ++i) {
        // The lists are the renderer's memory: looked at every so many parts, which is often
        // enough for lists of small parts and cheap beside them.
        if (i % kPartsPerRoomCheck == 0 && !RendererRoomLeft())
            return false;
        MakeListFromMesh(parts[i]);
    }
    ComputeBoundingBoxes(false);
    return true;
}
