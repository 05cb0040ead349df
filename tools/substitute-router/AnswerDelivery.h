#pragma once
// Putting an answer on the wire, honouring the faults that change how it travels
// (short, slow, trickle, chunked). Faults that change what is sent are applied before this.
#include "Fault.h"
#include "HttpResponse.h"

class StopSignal;

enum class AfterAnswer { KeepOpen, Close, Gone };

// Gone: the socket has been closed here. Close: the caller should close it.
AfterAnswer DeliverAnswer(int fd, const HttpResponse& response, const Fault& fault, bool headOnly,
                          bool keepAlive, const StopSignal& stop);
