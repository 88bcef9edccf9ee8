#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <string>

namespace gateway {

struct PageFile {
    std::string contentType;
    QByteArray bytes;
};

// The files of the gateway's page, built into the program, and the chart
// library the system provides, read once when the page is set up: only these
// are ever served, looked up by their exact name, so no name a client makes
// up reaches a file of the machine.
class PageFiles {
public:
    // chartLibrary: the system's chart.js; a file that cannot be read leaves
    // the page without charts (their figures still show).
    static PageFiles load(const QString &chartLibrary);

    // A file by its name under /static/ ("page.css", "chart.js"), or a page
    // ("index.html", "meter.html").
    std::optional<PageFile> find(const std::string &name) const;

private:
    std::map<std::string, PageFile> files_;
};

// Where Debian's libjs-chart.js puts the library. Read at start rather than
// built in: the system's security updates of it reach the page without a new
// build of ours, and building needs no script package.
inline constexpr const char *kSystemChartLibrary = "/usr/share/javascript/chart.js/chart.min.js";

} // namespace gateway
