#include "options.h"

#include "load_profile.h"
#include "number_text.h"

#include <QCommandLineParser>

#include <algorithm>

namespace metersim {

namespace {

const char *const kNotes = R"(
Fault rules (--fault, or a line on stdin): KIND@SELECTOR[,times=K]
  KIND      drop            no answer; the request is not carried out
            close           TCP: close the connection instead of answering
                            (RTU: no answer); the request is not carried out
            exception:CODE  answer with that exception code; not carried out
            crc             RTU: answer with both CRC bytes inverted (TCP: no effect)
            address         answer from unit + 1 (RTU: with a correct CRC)
            delay:MS        answer MS milliseconds late
            short:N         send only the first N bytes of the answer
            split:BYTES:MS  send the answer in chunks of BYTES, MS apart
            garbage:N       append N extra bytes after a correct answer
  SELECTOR  nth=N           the N-th request to this unit (1-based, all transports)
            every=N         every N-th request
            reg=FC:START    requests with function FC (3, 4 or 16) and that start register
            all             every request
  times=K   apply the rule at most K times.
  unit=N    only requests to unit N (on a line of several meters); the
            request numbers of nth= and every= count that unit's requests.
  Example:  --fault drop@reg=3:0x1064,times=3
  Faults of several matching rules add up. Each meter counts its own requests.

Commands on stdin, one per line; each answers OK or ERR <reason> on stdout:
  a fault rule        clear-faults
  set KIND:REG=VALUE  (16-bit value)      setf KIND:REG=VALUE  (float)
  add-records G N     group G (1 or 2) holds N more records, as after N intervals
  lp-shift G MINUTES  the records group G adds from now on are stamped MINUTES
                      later (negative: the clock was set back)
  lp-gap G N          the records group G adds from now on come N intervals
                      late (the meter was off for N intervals)
  unit=N COMMAND      COMMAND for the meter at unit N alone: a fault rule hits only
                      its requests, clear-faults removes only the rules aimed at it
                      (unit=2 drop@all silences unit 2; unit=2 clear-faults lets it
                      answer again). Without unit=N a command is for every meter.
  A planted value is stored as it is, without the effects of a Modbus write;
  a planted clock register sets that field of the clock; a planted CO2 or
  record-window register keeps its value instead of the computed one.

Register behaviour:
  Holding 0x1000 (unit address, 1..250) takes effect after the write is answered
  from the old address. 0x1001 (1 = 9600, 2 = 19200) switches the emulated rate
  after the answer when --baud is given. 0x1012 = 0x0055 zeroes every energy
  counter; 0x1033 = 51 / 0x1042 = 51 clears the records of group 1 / 2; these
  three command registers always read 0. 0x1023..0x1029 is the clock (year-2000,
  month, day, hour, minute, second, weekday 0 = Sunday); it keeps ticking from
  the value written; an impossible date or time is refused with exception 03.
  Writing any setting of a load-profile group (0x1034..0x103F, 0x1043..0x104C)
  restarts its profile: the group's valid record count becomes 0, as on the meter.
  0x1040..0x1041 hold the CO2 factor (float, default 0.5) and are also channel
  codes 11 and 12 of group 1; a write just stores them.
  CO2 input registers 0x044C..0x0453: the factor; kWh delivered x factor;
  kWh received x factor; (kWh delivered x factor) / 1000.
  Load-profile record windows: input 0x2000 (group 1) and 0x2100 (group 2), up
  to 125 registers, start at record number = holding 0x104D. A record is 3 + 2N
  registers: bytes year-2000, month, day, hour, minute, second, then N floats
  (low-order word first). Record i is stamped start + (i-1) x interval, plus
  the minutes of every --lp-shift of its group from a record <= i; channel
  j holds the float (channel code + 0.25 x i). Records outside 1..count read 0.
  With 15-minute records, --lp-shift 1=60:-120 (the clock set back two hours
  before record 60) gives records 60..67 the stamps of 52..59 again, then
  68 that of 60; --lp-shift 1=30:60 --lp-shift 1=31:-60 puts record 30 alone
  an hour ahead, out of order. --lp-gap G=FROM:N leaves N intervals out before
  record FROM (the meter was off): every later stamp moves by N intervals.

Several meters on one line (--unit 1,2,3): one process answers each of the
units on its pseudo-terminal and its TCP listener, as meters on one RS-485
line behind a Modbus TCP gateway. Each is a meter of its own, with its own
registers, writes, load profile, clock, request count and rate. The unit
listed n-th (counting from 0) has phase voltage V + n volts and current
I + n x 0.5 A (powers follow), and serial number AWMETER012345 followed by
its unit address in three digits (AWMETER012345002 for unit 2) unless
--serial gives one per unit. Answers of the units never overlap on the line:
a request over TCP goes onto the line when it is free, and with --baud every
answer takes its wire time there. Planted values go to every meter.

Noise (--noise PERCENT): at every read each measured float (frequency,
voltages, currents, powers, power factors, angles) moves by its own random
fraction d of at most PERCENT/100 around its stored value: value x (1 + d),
power factors kept within -1..1, angles + d radians (0.57 degrees per
percent), the voltage angle of phase a staying the reference. The energy
counters grow meanwhile with the stored powers and the time that passes
(delivered by positive kW, received by negative kW, lagging by positive kvar,
leading by negative kvar, kVAh by kVA), so they never go back. --seed makes
the draws repeatable: the unit listed n-th draws from seed + n.
  Floats everywhere occupy two registers, low-order 16 bits first.

On start metersim prints "UNIT <n> <serial>" for each meter, "NOISE <percent>
SEED <seed>" with --noise, "TCP <addr>:<port>" and/or "PTY <device>", then
"READY". Every write carried out is printed as
  WRITE start=0x1021 count=1 values=0x04D2
(with " unit=<n>" at its end on a line of several meters) and appended to
the --write-log file. SIGTERM or SIGINT ends it cleanly.
)";

bool fail(QString *message, const QString &text)
{
    *message = text;
    return false;
}

bool isAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
}

// G=FROM:AMOUNT: group 1 or 2, record FROM 1 to 65535, AMOUNT 1 to a year
// of minutes (negative too when signedAmount).
bool parseRecordShift(const QString &text, bool signedAmount, int *group, int *from, qint64 *amount)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    const auto g = eq > 0 ? parseNumber(text.left(eq), 1, 2) : std::nullopt;
    const QStringList parts = text.mid(eq + 1).split(QLatin1Char(':'));
    const auto first = parts.size() == 2 ? parseNumber(parts[0], 1, 65535) : std::nullopt;
    // parseNumber takes no sign, so the sign is ours.
    const bool back = signedAmount && parts.size() == 2 && parts[1].startsWith(QLatin1Char('-'));
    const auto value = parts.size() == 2 ? parseNumber(back ? parts[1].mid(1) : parts[1], 1, 527040) : std::nullopt;
    if (!g || !first || !value)
        return false;
    *group = static_cast<int>(*g) - 1;
    *from = static_cast<int>(*first);
    const qint64 magnitude = qint64(value.value_or(0));
    *amount = back ? -magnitude : magnitude;
    return true;
}

// G=VALUE with G = 1 or 2.
bool splitGroup(const QString &text, int *group, QString *value, QString *message)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    const auto g = eq > 0 ? parseNumber(text.left(eq), 1, 2) : std::nullopt;
    if (!g)
        return fail(message, QStringLiteral("'%1': expected G=... with group 1 or 2").arg(text));
    *group = static_cast<int>(*g) - 1;
    *value = text.mid(eq + 1);
    return true;
}

bool parseTcp(const QString &text, Options &o, QString *message)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    const auto port = colon > 0 ? parseNumber(text.mid(colon + 1), 0, 65535) : std::nullopt;
    if (!port || !o.tcpAddress.setAddress(host))
        return fail(message, QStringLiteral("--tcp '%1': expected ADDRESS:PORT").arg(text));
    o.tcpPort = static_cast<quint16>(*port);
    return true;
}

bool parseDouble(const QString &text, const QString &name, double *out, QString *message)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        return fail(message, QStringLiteral("%1 '%2' is not a number").arg(name, text));
    *out = v;
    return true;
}

bool parseLoadProfile(const QCommandLineParser &p, Options &o, QString *message)
{
    for (const QString &text : p.values(QStringLiteral("lp-count"))) {
        int g = 0;
        QString value;
        if (!splitGroup(text, &g, &value, message))
            return false;
        const auto n = parseNumber(value, 0, 65535);
        if (!n)
            return fail(message, QStringLiteral("--lp-count '%1': count 0 to 65535").arg(text));
        o.meter.groups[g].validCount = static_cast<int>(*n);
    }
    for (const QString &text : p.values(QStringLiteral("lp-interval"))) {
        int g = 0;
        QString value;
        if (!splitGroup(text, &g, &value, message))
            return false;
        const auto n = parseNumber(value, 1, 65535);
        if (!n)
            return fail(message, QStringLiteral("--lp-interval '%1': minutes, or 230 for 30 s").arg(text));
        o.meter.groups[g].interval = static_cast<quint16>(*n);
    }
    for (const QString &text : p.values(QStringLiteral("lp-channels"))) {
        int g = 0;
        QString value;
        if (!splitGroup(text, &g, &value, message))
            return false;
        const QStringList codes = value.split(QLatin1Char(','));
        const int max = g == 0 ? 12 : 8;
        if (codes.size() > max)
            return fail(message, QStringLiteral("--lp-channels: group %1 has at most %2 channels").arg(g + 1).arg(max));
        QList<quint16> parsed;
        for (const QString &code : codes) {
            const auto c = parseNumber(code, 0, 65535);
            if (!c)
                return fail(message, QStringLiteral("--lp-channels: bad code '%1'").arg(code));
            parsed.append(static_cast<quint16>(*c));
        }
        o.meter.groups[g].channelCodes = parsed;
    }
    for (const QString &text : p.values(QStringLiteral("lp-shift"))) {
        int g = 0;
        int from = 0;
        qint64 minutes = 0;
        if (!parseRecordShift(text, true, &g, &from, &minutes))
            return fail(message, QStringLiteral("--lp-shift '%1': expected G=FROM:MINUTES, record FROM 1 to "
                                                "65535, MINUTES not 0 and within a year, negative for back")
                                     .arg(text));
        o.meter.groups[g].shifts.append({from, static_cast<int>(minutes)});
    }
    for (const QString &text : p.values(QStringLiteral("lp-gap"))) {
        int g = 0;
        int from = 0;
        qint64 count = 0;
        if (!parseRecordShift(text, false, &g, &from, &count) || count > 65535)
            return fail(message, QStringLiteral("--lp-gap '%1': expected G=FROM:N, record FROM and N intervals "
                                                "1 to 65535")
                                     .arg(text));
        const qint64 seconds = count * loadprofile::intervalSeconds(o.meter.groups[g].interval);
        o.meter.groups[g].shifts.append({from, 0, static_cast<int>(seconds)});
    }
    if (p.isSet(QStringLiteral("lp-start"))) {
        const QString text = p.value(QStringLiteral("lp-start"));
        QDateTime start = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
        if (!start.isValid() || start.date().year() < 2000 || start.date().year() > 2255)
            return fail(message, QStringLiteral("--lp-start '%1': expected YYYY-MM-DD HH:MM").arg(text));
        o.meter.lpStart = QDateTime(start.date(), start.time(), Qt::UTC);
    }
    return true;
}

// Every value of a repeatable option, each also split at commas.
QStringList listValues(const QCommandLineParser &p, const QString &name)
{
    QStringList all;
    for (const QString &value : p.values(name))
        all += value.split(QLatin1Char(','));
    return all;
}

bool parseUnits(const QCommandLineParser &p, Options &o, QString *message)
{
    for (const QString &text : listValues(p, QStringLiteral("unit"))) {
        const auto unit = parseNumber(text, 1, 250);
        if (!unit)
            return fail(message, QStringLiteral("--unit must be 1 to 250"));
        if (o.units.contains(quint8(*unit)))
            return fail(message, QStringLiteral("--unit %1 is given twice").arg(*unit));
        o.units.append(static_cast<quint8>(*unit));
    }
    if (o.units.isEmpty())
        o.units.append(o.meter.unit);
    o.meter.unit = o.units.first();
    for (const QString &text : listValues(p, QStringLiteral("serial"))) {
        if (text.size() != 16 || !isAscii(text))
            return fail(message, QStringLiteral("--serial must be exactly 16 ASCII characters"));
        o.serials.append(text.toLatin1());
    }
    if (!o.serials.isEmpty() && o.serials.size() != o.units.size())
        return fail(message, QStringLiteral("--serial: give one serial number per unit (%1 units, %2 serials)")
                                 .arg(o.units.size())
                                 .arg(o.serials.size()));
    if (!o.serials.isEmpty())
        o.meter.serial = o.serials.first();
    return true;
}

bool parseNoise(const QCommandLineParser &p, Options &o, QString *message)
{
    if (p.isSet(QStringLiteral("noise"))) {
        double percent = 0;
        if (!parseDouble(p.value(QStringLiteral("noise")), QStringLiteral("--noise"), &percent, message))
            return false;
        if (!(percent >= 0.0 && percent <= 50.0))
            return fail(message, QStringLiteral("--noise must be 0 to 50 percent"));
        o.meter.noisePercent = percent;
    }
    if (p.isSet(QStringLiteral("seed"))) {
        const auto seed = parseNumber(p.value(QStringLiteral("seed")), 0, std::numeric_limits<qint64>::max());
        if (!seed)
            return fail(message, QStringLiteral("--seed must be a whole number from 0"));
        o.noiseSeed = static_cast<quint64>(*seed);
    }
    return true;
}

bool parseMeter(const QCommandLineParser &p, Options &o, QString *message)
{
    if (!parseUnits(p, o, message) || !parseNoise(p, o, message))
        return false;
    if (p.isSet(QStringLiteral("firmware"))) {
        const QString text = p.value(QStringLiteral("firmware"));
        if (text.size() != 8 || !isAscii(text))
            return fail(message, QStringLiteral("--firmware must be exactly 8 ASCII characters"));
        o.meter.firmware = text.toLatin1();
    }
    struct NumberOption { const char *name; double *target; };
    const NumberOption numbers[] = {{"voltage", &o.meter.phaseVoltage},
                                    {"current", &o.meter.current},
                                    {"frequency", &o.meter.frequency},
                                    {"pf-angle", &o.meter.pfAngleDegrees}};
    for (const NumberOption &n : numbers) {
        const QString name = QString::fromLatin1(n.name);
        if (p.isSet(name) && !parseDouble(p.value(name), QStringLiteral("--") + name, n.target, message))
            return false;
    }
    return parseLoadProfile(p, o, message);
}

bool parseRest(const QCommandLineParser &p, Options &o, QString *message)
{
    if (p.isSet(QStringLiteral("no-tcp")) && p.isSet(QStringLiteral("tcp")))
        return fail(message, QStringLiteral("--tcp and --no-tcp exclude each other"));
    o.tcp = !p.isSet(QStringLiteral("no-tcp"));
    if (p.isSet(QStringLiteral("tcp")) && !parseTcp(p.value(QStringLiteral("tcp")), o, message))
        return false;
    o.ptyLink = p.value(QStringLiteral("pty-link"));
    o.pty = p.isSet(QStringLiteral("pty")) || !o.ptyLink.isEmpty();
    if (!o.tcp && !o.pty)
        return fail(message, QStringLiteral("--no-tcp without --pty leaves nothing to serve"));
    if (p.isSet(QStringLiteral("baud"))) {
        const auto baud = parseNumber(p.value(QStringLiteral("baud")), 300, 1'000'000);
        if (!baud)
            return fail(message, QStringLiteral("--baud must be 300 to 1000000"));
        o.baud = static_cast<int>(*baud);
        // The baud-rate register shows the emulated rate when it has a code.
        if (o.baud == 9600 || o.baud == 19200)
            o.meter.baudCode = o.baud == 9600 ? 1 : 2;
    }
    o.writeLogPath = p.value(QStringLiteral("write-log"));
    for (const QString &text : p.values(QStringLiteral("fault"))) {
        QString error;
        const auto rule = FaultRule::parse(text, &error);
        if (!rule)
            return fail(message, QStringLiteral("--fault %1: %2").arg(text, error));
        o.faults.append(*rule);
    }
    return true;
}

// Planted values keep their command-line order, --u16 and --float mixed, so
// that a later one wins.
bool parseAssignments(const QStringList &arguments, Options &o, QString *message)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        for (const QString &option : {QStringLiteral("--u16"), QStringLiteral("--float")}) {
            QString text;
            if (arguments[i] == option && i + 1 < arguments.size())
                text = arguments[++i];
            else if (arguments[i].startsWith(option + QLatin1Char('=')))
                text = arguments[i].mid(option.size() + 1);
            else
                continue;
            QString error;
            const auto a = RegisterAssignment::parse(text, option == QLatin1String("--float"), &error);
            if (!a)
                return fail(message, QStringLiteral("%1: %2").arg(option, error));
            o.assignments.append(*a);
            break;
        }
    }
    return true;
}

} // namespace

ParseOutcome parseOptions(const QStringList &arguments, Options &options, QString *message)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated three-phase electricity meter: Modbus RTU on a pseudo-terminal and Modbus TCP."));
    const auto add = [&p](const char *name, const char *description, const char *valueName = nullptr,
                          const char *defaultValue = nullptr) {
        QCommandLineOption option(QString::fromLatin1(name), QString::fromLatin1(description));
        if (valueName)
            option.setValueName(QString::fromLatin1(valueName));
        if (defaultValue)
            option.setDefaultValue(QString::fromLatin1(defaultValue));
        p.addOption(option);
    };
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    p.addOption(help);
    add("tcp", "Serve Modbus TCP on ADDRESS:PORT (default 127.0.0.1:502; port 0 picks a free one).", "addr:port");
    add("no-tcp", "Do not serve Modbus TCP.");
    add("pty", "Serve Modbus RTU on a new pseudo-terminal.");
    add("pty-link", "Also create a symbolic link PATH to the pseudo-terminal (implies --pty; removed at exit).", "path");
    add("unit", "Modbus unit address, 1 to 250 (default 15); several (1,2,3 or repeated) serve meters of their own on one line (see below).", "n[,n...]");
    add("firmware", "Firmware text, exactly 8 characters (default V3705A00; characters 2-5 are the version, a leading R selects the R layout).", "text");
    add("serial", "Serial number, exactly 16 characters (default AWMETER012345678); with several units one per unit, in their order (default AWMETER012345 and the unit in three digits).", "text[,text...]");
    add("voltage", "Phase voltage in V (default 230); line voltages are sqrt(3) times it.", "V");
    add("current", "Phase current in A (default 5).", "A");
    add("frequency", "Frequency in Hz (default 50).", "Hz");
    add("pf-angle", "Angle by which the currents lag their voltages, degrees (default 30). Voltage angles are 0/240/120.", "deg");
    add("float", "Plant a float after the defaults: KIND:REG=VALUE, KIND holding|input, REG decimal or 0x hex (repeatable).", "kind:reg=value");
    add("u16", "Plant a 16-bit value after the defaults: KIND:REG=VALUE (repeatable).", "kind:reg=value");
    add("lp-count", "Valid records of load-profile group G (1 or 2): G=N (defaults 100 and 50).", "G=N");
    add("lp-interval", "Interval of group G in minutes, 230 = 30 s: G=MIN (default 15).", "G=MIN");
    add("lp-channels", "Channel codes of group G, which also sets its channel count: G=c1,c2,... (defaults 1,2,3,4,5,7,9,11 and 6,12,13,14).", "G=codes");
    add("lp-shift", "Clock change in group G: from record FROM on every stamp moves by MINUTES (negative: set back): G=FROM:MINUTES (repeatable; shifts add up).", "G=FROM:MIN");
    add("lp-gap", "Power-off gap in group G: N intervals are missing before record FROM: G=FROM:N (repeatable).", "G=FROM:N");
    add("lp-start", "Time stamp of record 1 of both groups (default 2024-03-01 00:00).", "YYYY-MM-DD HH:MM");
    add("baud", "Emulate the wire time of RTU at N baud (answers on TCP too): no answer before the request would have arrived, 10 bit times per answer byte.", "N");
    add("noise", "Measured values vary at every read by up to PERCENT around their value (0 to 50, default off); energy counters grow (see below).", "PERCENT");
    add("seed", "Seed of the noise, for repeatable runs (default: a random one, printed on start).", "N");
    add("write-log", "Write every write carried out to FILE, one line each (started afresh).", "file");
    add("fault", "Fault rule KIND@SELECTOR[,times=K] (repeatable; see below).", "rule");

    if (!p.parse(arguments)) {
        *message = p.errorText();
        return ParseOutcome::Error;
    }
    if (p.isSet(help)) {
        *message = p.helpText() + QString::fromLatin1(kNotes);
        return ParseOutcome::Help;
    }
    if (!p.positionalArguments().isEmpty()) {
        *message = QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first());
        return ParseOutcome::Error;
    }
    if (!parseMeter(p, options, message) || !parseRest(p, options, message)
        || !parseAssignments(arguments, options, message))
        return ParseOutcome::Error;
    return ParseOutcome::Run;
}

} // namespace metersim
