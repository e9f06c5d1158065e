// SPDX-License-Identifier: GPL-3.0-or-later
// Writes ESRI Shapefile main files (.shp) for tests: valid PolyLine and
// Polygon files from lists of parts, and the raw pieces (big- and
// little-endian words, record headers) from which malformed files are made
// byte by byte.
#ifndef KALU_TEST_SHPWRITER_H
#define KALU_TEST_SHPWRITER_H

#include <string>
#include <utility>
#include <vector>

namespace shp
{

using Point = std::pair<double, double>; // (x = longitude, y = latitude)
using Part = std::vector<Point>;

struct Record {
    int type;                // 3 PolyLine, 5 Polygon, 0 null shape, ...
    std::vector<Part> parts; // ignored for a null shape
};

using Bytes = std::vector<unsigned char>;

void bigEndian(Bytes &b, int v);
void littleEndian(Bytes &b, int v);
void littleEndian(Bytes &b, double v);

// The 100-byte main-file header: file code 9994, the file length in 16-bit
// words (taken from `fileBytes`), version 1000, the shape type and the
// bounding box.
Bytes header(int shapeType, size_t fileBytes, double xmin = 0, double ymin = 0, double xmax = 0,
             double ymax = 0);

// Record content (shape type, box, NumParts, NumPoints, part starts, points);
// a null shape is the 4-byte type alone.
Bytes content(const Record &r);

// Record header (1-based record number, content length in words) + content.
Bytes record(int number, const Record &r);

// Record content with counts as given, whether they agree or not: shape
// type, a zero box, NumParts, NumPoints, the part starts, the points.
Bytes rawContent(int type, int numParts, int numPoints, const std::vector<int> &starts,
                 const std::vector<Point> &points);

// Record header (number, content length in words) followed by `content`.
Bytes withHeader(int number, const Bytes &content);

// Appends `b` to `a`.
void append(Bytes &a, const Bytes &b);

// A whole valid file: header with the given shape type and the real length,
// then every record numbered from 1.
Bytes file(int shapeType, const std::vector<Record> &records);

// Writes bytes to `path`; true on success.
bool write(const std::string &path, const Bytes &bytes);

// Fresh path under the test's scratch directory (KALU_SCRATCH, else /tmp).
std::string scratchPath(const std::string &name);

} // namespace shp

#endif
