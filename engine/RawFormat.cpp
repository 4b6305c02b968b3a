// Sequential line reader and writer shared by RAW and KRO files.
#include "engine/RawFormat.h"

#include <cerrno>

#include "engine/TavmorManager.h"

bool TSeqLineReader::Open(const TFileInfo& info)
{
    FLineSize = info.ScanLineSize;
    FOpenError = 0;
    FFile.SizeBufferFor(FLineSize);
    if (!FFile.OpenRead(info.FileName)) {
        // Not examined here: the failure surfaces as a failed first read, which the line
        // loops report in their own words.
        FOpenError = IoResult();
        return true;
    }
    if (!CheckHeader(info)) {
        Close();
        (void)IoResult();
        return false;
    }
    return true;
}

bool TSeqLineReader::CheckHeader(const TFileInfo&)
{
    return FHeaderSize == 0 || FFile.Skip(FHeaderSize);
}

int32_t TSeqLineReader::ReadLine(int32_t, uint8_t* buffer)
{
    if (!FFile.IsOpen()) {
        SetIoResult(FOpenError != 0 ? FOpenError : EBADF);
        return 0;
    }
    return static_cast<int32_t>(FFile.Read(buffer, FLineSize));
}

void TSeqLineReader::Close()
{
    (void)FFile.Close();
}

bool TSeqLineWriter::Open(const TFileInfo& info, bool, bool)
{
    FLineSize = info.ScanLineSize;
    FFile.SizeBufferFor(FLineSize);
    return FFile.Create(info.FileName);
}

int64_t TSeqLineWriter::WriteBytes(const void* bytes, size_t count)
{
    return FFile.Write(bytes, count);
}

int32_t TSeqLineWriter::WriteLine(uint32_t, const uint8_t* buffer)
{
    return static_cast<int32_t>(FFile.Write(buffer, FLineSize));
}

bool TSeqLineWriter::Close()
{
    return FFile.Close();
}

std::unique_ptr<TLineReader> MakeRawReader()
{
    return std::make_unique<TSeqLineReader>(0);
}

std::unique_ptr<TLineWriter> MakeRawWriter()
{
    return std::make_unique<TSeqLineWriter>();
}
