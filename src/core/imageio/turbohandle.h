#pragma once
// Ownership of libjpeg-turbo's TurboJPEG handles and the buffers it
// allocates, shared by the JPEG writer and reader.

#include <turbojpeg.h>

#include <memory>

namespace turbo {

struct HandleCloser
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree
{
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};
using Buffer = std::unique_ptr<unsigned char, BufferFree>;

} // namespace turbo
