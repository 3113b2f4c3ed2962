// A traffic generator job as JSON, one reader for the control API and the --generate file.
#pragma once

#include "simulator/TrafficGenerator.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>

// {"systemId": "esme", "count": 1000 or "seconds": 10, "rate": 500, "kind": "mo" or "receipts",
//  "source": "12345", "destination": "4479000{n}", "text": "Message {n}"}: systemId and rate are
// required, exactly one of count and seconds, the rest as GeneratorJob has them. Nothing, with
// error naming the field ("rate: ..."), for a body that is no such object.
// The fields a job object may hold, in the order --help and the README list them.
std::span<const char* const> GeneratorJobFields();

std::optional<GeneratorJob> ParseGeneratorJob(const QByteArray& json, QString* error);
