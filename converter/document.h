// CDocument: one received document: its file in the working area, the MD5
// digest of its bytes computed while they are written, and the driver that
// converts it.
//
// Life: New --startWrite--> Writing --finishWrite--> Written --convert...
// The file is created by startWrite and claimed for this process
// (storage/working_file.h) until it is deleted: by discard() or when the
// document is destroyed (from Writing or Written). The converter's output
// directory is not touched here. Owned through DocumentPtr; the last owner
// deletes it, on whichever thread that is.
// The storage names the file and the output directory and caches the
// result (CStorageManager::newDocument, getDestinationDirectory,
// addDocumentToCache).
//
// Threads: startWrite, write and finishWrite on the browser's plug-in
// thread; convert and discard on the conversion worker once the write has
// finished; interruptConversion from the plug-in thread at any time, also
// while convert runs: it never blocks and makes convert return within
// milliseconds, without success.
#pragma once

#include <cstdio>

#include "converter/converter_office.h"
#include "platform/qv_shared_ptr.h"
#include "platform/qv_string.h"
#include "platform/qv_types.h"
#include "storage/hash_md5.h"

class CDocument {
public:
    enum State { New = 0, Writing = 1, Written = 2 };

    explicit CDocument(const char* filePath);
    virtual ~CDocument();

    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Creates the file ("wb") and starts the digest. Only in state New.
    bool startWrite();
    // Digests length bytes and writes them. Returns the bytes written (may
    // be short), or -1 when not Writing, data is null, length is negative,
    // or the write failed with nothing written.
    Int32 write(const void* data, Int32 length);
    // Closes the file and fixes the digest. False when already Written or
    // the close failed (the stream is gone then; a second call sets Written
    // without a digest).
    bool finishWrite();
    // Converts the file into destination (which ends with "/"); entryPoint
    // becomes the entry page name. True only when the converter ended by
    // itself and the entry page can be opened: a conversion cut off by the
    // time limit or interrupted never succeeds.
    bool convert(const CQVString& destination, CQVString& entryPoint);
    // Stops a running conversion and any later one.
    void interruptConversion();
    // Deletes the file now (a document is not converted twice); later calls
    // and the destructor leave it alone.
    void discard();

    int getState() const { return mState; }
    const CQVString& getFilePath() const { return mFilePath; }
    // The digest of every byte written; all zero until finishWrite.
    const UInt8 (&getMD5() const)[16] { return mMD5; }

private:
    // Closes what is open and deletes the file, if it was created.
    void removeFile();

    int mState;
    CQVString mFilePath;
    int mClaim;  // holds the claim on the file while it exists, else -1
    FILE* mFile;
    // stdio buffer of mFile: the browser hands over a few KiB per write, and
    // one system call per handful of them costs more than the digest.
    char* mWriteBuffer;
    CHashMD5* mHash;
    UInt8 mMD5[16];
    CConverterOffice mConverter;
};

typedef TQVSharedPtr<CDocument> DocumentPtr;
