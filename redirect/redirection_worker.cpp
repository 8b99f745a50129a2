// A worker of the filter connection: takes completed requests from the
// completion port, answers each with MatchRedirect's decision and queues the
// same buffer again.
#include "redirect/filter_records.h"
#include "redirect/redirect_rules.h"
#include "redirect/redirection_filter.h"
#include "redirect/request_wire.h"

HRESULT ArmRedirectMessage(HANDLE port, RedirectMessage *message)
{
    // The header too: a short message must not leave the previous MessageId
    // to be answered a second time.
    ZeroMemory(&message->header, sizeof message->header);
    ZeroMemory(&message->Overlapped, sizeof message->Overlapped);
    ZeroMemory(message->Path, sizeof message->Path);
    return FilterSeamGetMessage(port, &message->header, REDIRECT_WIRE_SIZE, &message->Overlapped);
}

const WCHAR *RequestPath(const RedirectMessage *message, DWORD bytes)
{
    static_assert(sizeof(WCHAR) == sizeof(char16_t) && sizeof(FilterMessageHeader) == REQUEST_HEADER_BYTES &&
                      static_cast<size_t>(REDIRECT_PATH_UNITS) == REQUEST_WIRE_PATH_UNITS,
                  "the request as the neutral reader sees it");
    return RequestPathIn(reinterpret_cast<const char16_t *>(message->Path), bytes) ? message->Path : nullptr;
}

DWORD WINAPI RedirectionWorker(LPVOID param)
{
    const FilterPortContext *context = static_cast<const FilterPortContext *>(param);
    RedirectReply reply;
    ZeroMemory(&reply, sizeof reply);
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED *overlapped = nullptr;
        // FALSE once the connection is gone: the minifilter was unloaded and
        // the pending requests failed, or the port was closed. An empty
        // packet is the filter thread's own stop signal.
        if (!GetQueuedCompletionStatus(context->completion, &bytes, &key, &overlapped, INFINITE) || !overlapped)
            break;
        RedirectMessage *message = CONTAINING_RECORD(overlapped, RedirectMessage, Overlapped);

        // A message too short to carry its MessageId cannot be answered.
        if (bytes >= sizeof(FilterMessageHeader)) {
            reply.header.Status = 0;
            reply.header.MessageId = message->header.MessageId;
            const WCHAR *path = RequestPath(message, bytes);
            if (!path || !MatchRedirect(path, reply.Target))
                reply.Target[0] = 0;
            // A reply that cannot be sent (the minifilter gave up waiting,
            // or is going away) leaves nothing to do for this request.
            FilterSeamReplyMessage(context->port, &reply.header, REDIRECT_WIRE_SIZE);
            ZeroMemory(reply.Target, sizeof reply.Target);
        }

        if (ArmRedirectMessage(context->port, message) != HRESULT_FROM_WIN32(ERROR_IO_PENDING)) {
            // Nothing refers to the buffer any more.
            HeapFree(GetProcessHeap(), 0, message);
            break;
        }
    }
    return 0;
}
