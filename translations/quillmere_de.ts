<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppDelegate</name>
    <message>
        <location filename="../app/ui/AppDelegate.cpp" line="185"/>
        <location filename="../app/ui/AppDelegate.cpp" line="195"/>
        <source>Quillmere cannot watch %1.</source>
        <translation>Quillmere kann %1 nicht überwachen.</translation>
    </message>
</context>
<context>
    <name>CommandLineOptions</name>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="15"/>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe anzeigen und beenden.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="16"/>
        <source>Show the version and exit.</source>
        <translation>Die Version anzeigen und beenden.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="18"/>
        <source>Run without a window and print the stream table.</source>
        <translation>Ohne Fenster ausführen und die Verbindungstabelle ausgeben.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="20"/>
        <source>Capture on this network interface.</source>
        <translation>Auf dieser Netzwerkschnittstelle mitschneiden.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="21"/>
        <source>NAME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="23"/>
        <source>Append new and closed streams to this file (with --headless).</source>
        <translation>Neue und geschlossene Verbindungen an diese Datei anhängen (mit --headless).</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="24"/>
        <location filename="../app/headless/CommandLineOptions.cpp" line="37"/>
        <source>FILE</source>
        <translation>DATEI</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="26"/>
        <source>Print every SECONDS seconds (with --headless); the update interval of this run, not saved.</source>
        <translation>Alle SEKUNDEN Sekunden ausgeben (mit --headless); gilt als Aktualisierungsintervall nur für diesen Lauf und wird nicht gespeichert.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="28"/>
        <source>SECONDS</source>
        <translation>SEKUNDEN</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="30"/>
        <source>Print one JSON object per stream and interval (with --headless).</source>
        <translation>Ein JSON-Objekt pro Verbindung und Intervall ausgeben (mit --headless).</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="36"/>
        <source>Keep the streams&apos; history in this file (with --headless).</source>
        <translation>Den Verlauf der Streams in dieser Datei aufbewahren (mit --headless).</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="116"/>
        <source>--group needs program or host.</source>
        <translation>--group braucht program oder host.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="32"/>
        <source>Group the streams by program or by remote host, their figures summed (with --headless).</source>
        <translation>Die Verbindungen nach Programm oder entferntem Host gruppieren, ihre Zahlen zusammengezählt (mit --headless).</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="34"/>
        <source>program|host</source>
        <translation>program|host</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="39"/>
        <source>Keep no history in this run (with --headless).</source>
        <translation>In diesem Lauf keinen Verlauf aufbewahren (mit --headless).</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="43"/>
        <source>Quillmere shows the network conversations of an interface, live.</source>
        <translation>Quillmere zeigt die Netzwerkverbindungen einer Schnittstelle live an.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="95"/>
        <source>Unexpected argument: %1</source>
        <translation>Unerwartetes Argument: %1</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="110"/>
        <source>--headless needs --interface NAME.</source>
        <translation>--headless erfordert --interface NAME.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="104"/>
        <source>--log, --interval, --json, --group, --history and --no-history need --headless.</source>
        <translation>--log, --interval, --json, --group, --history und --no-history brauchen --headless.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="112"/>
        <source>--history needs a FILE, and cannot go with --no-history.</source>
        <translation>--history braucht eine DATEI und geht nicht zusammen mit --no-history.</translation>
    </message>
    <message>
        <location filename="../app/headless/CommandLineOptions.cpp" line="122"/>
        <source>--interval needs a positive number of seconds.</source>
        <translation>--interval erfordert eine positive Anzahl von Sekunden.</translation>
    </message>
</context>
<context>
    <name>GuardedFile</name>
    <message>
        <location filename="../app/logging/GuardedFile.cpp" line="65"/>
        <source>it is a symbolic link in a folder every user may write to</source>
        <translation>es ist eine symbolische Verknüpfung in einem Ordner, in den jeder Benutzer schreiben darf</translation>
    </message>
    <message>
        <location filename="../app/logging/GuardedFile.cpp" line="69"/>
        <source>it belongs to another user in a folder every user may write to</source>
        <translation>es gehört einem anderen Benutzer, in einem Ordner, in den jeder Benutzer schreiben darf</translation>
    </message>
    <message>
        <location filename="../app/logging/GuardedFile.cpp" line="81"/>
        <source>it is not the name of a file</source>
        <translation>es ist nicht der Name einer Datei</translation>
    </message>
</context>
<context>
    <name>HeadlessCapture</name>
    <message>
        <location filename="../app/headless/HeadlessCapture.cpp" line="38"/>
        <source>The capture tool is installed with an administrator&apos;s approval. Run Quillmere once as root (for example with sudo), or start a terminal password agent (pkttyagent) in this session, and try again.</source>
        <translation>Das Mitschnittwerkzeug wird mit der Zustimmung eines Administrators installiert. Quillmere einmal als root ausführen (zum Beispiel mit sudo) oder in dieser Sitzung einen Terminal-Passwortagenten (pkttyagent) starten und es dann erneut versuchen.</translation>
    </message>
    <message>
        <location filename="../app/headless/HeadlessCapture.cpp" line="72"/>
        <source>Cannot log to %1: %2</source>
        <translation>Protokollieren in %1 nicht möglich: %2</translation>
    </message>
    <message>
        <location filename="../app/headless/HeadlessCapture.cpp" line="80"/>
        <source>The capture was not started: the password dialog was cancelled.</source>
        <translation>Der Mitschnitt wurde nicht gestartet: Der Passwortdialog wurde abgebrochen.</translation>
    </message>
    <message>
        <location filename="../app/headless/HeadlessCapture.cpp" line="155"/>
        <source>History is kept in %1.</source>
        <translation>Der Verlauf wird in %1 aufbewahrt.</translation>
    </message>
</context>
<context>
    <name>HelpBrowser</name>
    <message>
        <location filename="../app/ui/HelpBrowser.cpp" line="65"/>
        <source>Help Is Not Available</source>
        <translation>Hilfe nicht verfügbar</translation>
    </message>
    <message>
        <location filename="../app/ui/HelpBrowser.cpp" line="66"/>
        <source>The help pages are missing from this installation (expected at %1).</source>
        <translation>In dieser Installation fehlen die Hilfeseiten (erwartet unter %1).</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <location filename="../app/ui/Help.ui" line="15"/>
        <source>Quillmere Help</source>
        <translation>Quillmere-Hilfe</translation>
    </message>
    <message>
        <location filename="../app/ui/Help.ui" line="42"/>
        <source>Navigation</source>
        <translation>Navigation</translation>
    </message>
    <message>
        <location filename="../app/ui/Help.ui" line="65"/>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <location filename="../app/ui/Help.ui" line="73"/>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <location filename="../app/ui/Help.ui" line="78"/>
        <source>Contents</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <location filename="../app/ui/Help.ui" line="83"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>HistoryCommand</name>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="21"/>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe anzeigen und beenden.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="23"/>
        <source>From WHEN on: a span back from now (30m, 1h, 7d, 2w) or a local date or time (2026-12-01, 2026-12-01T18:00). Default: 1d.</source>
        <translation>Ab WANN: eine Spanne zurück von jetzt (30m, 1h, 7d, 2w) oder ein lokales Datum oder eine Uhrzeit (2026-12-01, 2026-12-01T18:00). Vorgabe: 1d.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="25"/>
        <location filename="../app/headless/HistoryCommand.cpp" line="27"/>
        <source>WHEN</source>
        <translation>WANN</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="26"/>
        <source>Up to WHEN. Default: now.</source>
        <translation>Bis WANN. Vorgabe: jetzt.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="29"/>
        <source>Group by host, program, service or stream. Default: host.</source>
        <translation>Gruppieren nach host, program, service oder stream. Vorgabe: host.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="30"/>
        <source>GROUP</source>
        <translation>GRUPPE</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="31"/>
        <source>List the N with the most bytes. Default: 20.</source>
        <translation>Die N mit den meisten Bytes auflisten. Vorgabe: 20.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="33"/>
        <source>Print one JSON object per line.</source>
        <translation>Ein JSON-Objekt je Zeile ausgeben.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="34"/>
        <source>Print comma-separated values.</source>
        <translation>Durch Kommas getrennte Werte ausgeben.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="36"/>
        <source>Read this history file instead of the usual one.</source>
        <translation>Diese Verlaufsdatei statt der üblichen lesen.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="37"/>
        <source>FILE</source>
        <translation>DATEI</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="41"/>
        <source>What the history of Quillmere kept, by bytes.</source>
        <translation>Was der Verlauf von Quillmere aufbewahrt hat, nach Bytes.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="114"/>
        <source>Unexpected argument: %1</source>
        <translation>Unerwartetes Argument: %1</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="122"/>
        <source>--since and --until take a span such as 1h or 7d, or a date such as 2026-12-01.</source>
        <translation>--since und --until nehmen eine Spanne wie 1h oder 7d oder ein Datum wie 2026-12-01.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="124"/>
        <source>--since must come before --until.</source>
        <translation>--since muss vor --until liegen.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="129"/>
        <source>--by takes host, program, service or stream.</source>
        <translation>--by nimmt host, program, service oder stream.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="135"/>
        <source>--top takes a number from 1 to %1.</source>
        <translation>--top nimmt eine Zahl von 1 bis %1.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="139"/>
        <source>--json and --csv cannot go together.</source>
        <translation>--json und --csv gehen nicht zusammen.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="166"/>
        <source>There is no history at %1.</source>
        <translation>Unter %1 gibt es keinen Verlauf.</translation>
    </message>
    <message>
        <location filename="../app/headless/HistoryCommand.cpp" line="178"/>
        <source>The history at %1 cannot be read: %2</source>
        <translation>Der Verlauf unter %1 kann nicht gelesen werden: %2</translation>
    </message>
</context>
<context>
    <name>HistoryLookup</name>
    <message>
        <location filename="../app/history/HistoryLookup.cpp" line="75"/>
        <source>The history at %1 cannot be read: %2</source>
        <translation>Der Verlauf unter %1 kann nicht gelesen werden: %2</translation>
    </message>
</context>
<context>
    <name>HistoryQuery</name>
    <message>
        <location filename="../app/history/HistoryQuery.cpp" line="108"/>
        <source>No history has been kept in %1.</source>
        <translation>In %1 wurde kein Verlauf aufbewahrt.</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryQuery.cpp" line="114"/>
        <source>%1 is a history file of version %2; this program reads version %3.</source>
        <translation>%1 ist eine Verlaufsdatei der Version %2; dieses Programm liest Version %3.</translation>
    </message>
</context>
<context>
    <name>HistoryReport</name>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="94"/>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="95"/>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="96"/>
        <source>Payload Up</source>
        <translation>Nutzdaten Upload</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="97"/>
        <source>Payload Down</source>
        <translation>Nutzdaten Download</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="111"/>
        <source>Remote Host</source>
        <translation>Entfernter Rechner</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="112"/>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="115"/>
        <source>Program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="118"/>
        <source>Service</source>
        <translation>Dienst</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="119"/>
        <location filename="../app/history/HistoryReport.cpp" line="176"/>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="120"/>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="123"/>
        <source>Streams</source>
        <translation>Verbindungen</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="173"/>
        <source>Opened</source>
        <translation>Geöffnet</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="174"/>
        <source>Last Seen</source>
        <translation>Zuletzt gesehen</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="175"/>
        <source>Interface</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="177"/>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="178"/>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="182"/>
        <source>Ended</source>
        <translation>Beendet</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryReport.cpp" line="183"/>
        <source>Process</source>
        <translation>Prozess</translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <location filename="../app/history/HistorySchema.cpp" line="32"/>
        <source>the file was written by a newer version (%1) of the history</source>
        <translation>die Datei wurde von einer neueren Version (%1) des Verlaufs geschrieben</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryStore.cpp" line="209"/>
        <source>History is paused: %1 cannot be written (%2).</source>
        <translation>Der Verlauf ist angehalten: %1 kann nicht geschrieben werden (%2).</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryStore.cpp" line="228"/>
        <source>History is paused: %1 is damaged (%2) and cannot be moved aside.</source>
        <translation>Der Verlauf ist angehalten: %1 ist beschädigt (%2) und kann nicht beiseitegelegt werden.</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryStore.cpp" line="234"/>
        <source>The history file %1 was damaged (%2). It was moved to %3, and a new history was started.</source>
        <translation>Die Verlaufsdatei %1 war beschädigt (%2). Sie wurde nach %3 verschoben, und ein neuer Verlauf wurde begonnen.</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryStore.cpp" line="245"/>
        <source>History resumed: %1</source>
        <translation>Verlauf fortgesetzt: %1</translation>
    </message>
    <message>
        <location filename="../app/history/HistoryStore.cpp" line="282"/>
        <source>History: %1 records could not be written to %2.</source>
        <translation>Verlauf: %1 Einträge konnten nicht in %2 geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="15"/>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="23"/>
        <source>&amp;Time:</source>
        <translation>&amp;Zeit:</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="34"/>
        <source>Last hour</source>
        <translation>Letzte Stunde</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="39"/>
        <source>Last day</source>
        <translation>Letzter Tag</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="44"/>
        <source>Last week</source>
        <translation>Letzte Woche</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="49"/>
        <source>Custom…</source>
        <translation>Eigener…</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="57"/>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="67"/>
        <source>Until</source>
        <translation>Bis</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="77"/>
        <source>&amp;By:</source>
        <translation>&amp;Nach:</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="88"/>
        <source>Remote Host</source>
        <translation>Entfernter Rechner</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="93"/>
        <source>Program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="98"/>
        <source>Service</source>
        <translation>Dienst</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="103"/>
        <source>Stream</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="111"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.ui" line="121"/>
        <source>&amp;Export…</source>
        <translation>&amp;Exportieren…</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="53"/>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="55"/>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="56"/>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="178"/>
        <source>The start of the range must come before its end.</source>
        <translation>Der Anfang des Zeitraums muss vor seinem Ende liegen.</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="228"/>
        <source>%1 listed.</source>
        <translation>%1 gelistet.</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="229"/>
        <source>%1 of %2 listed.</source>
        <translation>%1 von %2 gelistet.</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="232"/>
        <source>Only the %1 with the most bytes are listed; the range holds more.</source>
        <translation>Nur die %1 mit den meisten Bytes sind gelistet; der Zeitraum enthält mehr.</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="242"/>
        <source>all streams</source>
        <translation>alle Verbindungen</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="243"/>
        <source>Bytes every %1: %2</source>
        <translation>Bytes je %1: %2</translation>
    </message>
    <message>
        <location filename="../app/ui/HistoryWindow.cpp" line="290"/>
        <source>The history could not be exported to the file %1</source>
        <translation>Der Verlauf konnte nicht in die Datei %1 exportiert werden</translation>
    </message>
</context>
<context>
    <name>InterfaceChooser</name>
    <message>
        <location filename="../app/ui/InterfaceChooser.ui" line="7"/>
        <source>Quillmere</source>
        <translation>Quillmere</translation>
    </message>
    <message>
        <location filename="../app/ui/InterfaceChooser.ui" line="16"/>
        <source>Choose the network interface to watch:</source>
        <translation>Zu überwachende Netzwerkschnittstelle auswählen:</translation>
    </message>
    <message>
        <location filename="../app/ui/InterfaceChooser.ui" line="73"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../app/ui/InterfaceChooser.ui" line="90"/>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location filename="../app/ui/InterfaceChooser.ui" line="100"/>
        <source>&amp;Watch</source>
        <translation>Über&amp;wachen</translation>
    </message>
    <message>
        <location filename="../app/ui/InterfaceChooser.cpp" line="32"/>
        <source>The network interfaces could not be read.</source>
        <translation>Die Netzwerkschnittstellen konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <location filename="../app/ui/InterfaceChooser.cpp" line="34"/>
        <source>No network interface that is up has an address.</source>
        <translation>Keine aktive Netzwerkschnittstelle hat eine Adresse.</translation>
    </message>
</context>
<context>
    <name>InterfaceList</name>
    <message>
        <location filename="../app/platform/InterfaceList.cpp" line="70"/>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <location filename="../app/platform/Preferences.cpp" line="73"/>
        <source>__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - destination: __destination__</source>
        <translation>__dateTime__ (__unixTime__): neue __protocol__-Verbindung: Quelle: __source__ - Ziel: __destination__</translation>
    </message>
    <message>
        <location filename="../app/platform/Preferences.cpp" line="79"/>
        <source>__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__ - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__) - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at __lifetimeDownSpeed__)</source>
        <translation>__dateTime__ (__unixTime__): __protocol__-Verbindung geschlossen: Quelle: __source__ - Ziel: __destination__ - gesendete Bytes insgesamt: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ mit __lifetimeUpSpeed__) - empfangene Bytes insgesamt: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ mit __lifetimeDownSpeed__)</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="15"/>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="21"/>
        <source>Updates</source>
        <translation>Aktualisierung</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="30"/>
        <source>&amp;Update every:</source>
        <translation>&amp;Aktualisierung alle:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="43"/>
        <location filename="../app/ui/PreferencesWindow.ui" line="69"/>
        <location filename="../app/ui/PreferencesWindow.ui" line="137"/>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="56"/>
        <source>&amp;Remove streams idle for:</source>
        <translation>Inaktive Verbindungen &amp;entfernen nach:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="114"/>
        <source>A TCP connection seen from its start stays in the table, however long it is silent, until it closes or resets, or until it has been idle for the time below.</source>
        <translation>Eine von Anfang an gesehene TCP-Verbindung bleibt in der Tabelle, wie lange sie auch still ist, bis sie geschlossen oder zurückgesetzt wird oder so lange inaktiv war wie unten angegeben.</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="117"/>
        <source>Keep &amp;TCP connections until they close</source>
        <translation>&amp;TCP-Verbindungen behalten, bis sie geschlossen werden</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="124"/>
        <source>Remove TCP connections &amp;idle for:</source>
        <translation>Inaktive TCP-Verbindungen entfernen &amp;nach:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="153"/>
        <source>Names</source>
        <translation>Namen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="159"/>
        <source>Look up &amp;host names</source>
        <translation>&amp;Hostnamen auflösen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="166"/>
        <source>Show service names for &amp;ports</source>
        <translation>Dienstnamen für &amp;Ports anzeigen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="173"/>
        <source>These apply to streams that appear afterwards; streams already listed keep their names.</source>
        <translation>Diese Einstellungen gelten für Verbindungen, die danach erscheinen; bereits aufgeführte Verbindungen behalten ihre Namen.</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="186"/>
        <source>Logging</source>
        <translation>Protokollierung</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="192"/>
        <source>Write a line when a stream appears</source>
        <translation>Eine Zeile schreiben, sobald eine Verbindung erscheint</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="195"/>
        <source>&amp;New stream:</source>
        <translation>&amp;Neue Verbindung:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="208"/>
        <source>New stream template</source>
        <translation>Vorlage für neue Verbindungen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="215"/>
        <source>Write a line when a stream is closed</source>
        <translation>Eine Zeile schreiben, sobald eine Verbindung geschlossen wird</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="218"/>
        <source>Closed &amp;stream:</source>
        <translation>&amp;Geschlossene Verbindung:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="231"/>
        <source>Closed stream template</source>
        <translation>Vorlage für geschlossene Verbindungen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="238"/>
        <source>In a template, a key name between double underscores, such as __source__ or __lifetimeUpSpeed__, stands for that stream&apos;s value. Help lists every key.</source>
        <translation>In einer Vorlage steht ein Schlüsselname zwischen doppelten Unterstrichen, etwa __source__ oder __lifetimeUpSpeed__, für den jeweiligen Wert der Verbindung. Die Hilfe führt alle Schlüssel auf.</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="257"/>
        <source>Restore &amp;Default Templates</source>
        <translation>Standard&amp;vorlagen wiederherstellen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="272"/>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="281"/>
        <source>Every stream is kept when it closes, and every open one once a minute, so History can show what talked, when and how much.</source>
        <translation>Jede Verbindung wird behalten, wenn sie endet, und jede offene einmal pro Minute, damit der Verlauf zeigen kann, was wann wie viel gesprochen hat.</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="284"/>
        <source>Keep history</source>
        <translation>Verlauf behalten</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="291"/>
        <source>Keep f&amp;or:</source>
        <translation>Behalten &amp;für:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="304"/>
        <source> days</source>
        <translation> Tage</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="317"/>
        <source>Si&amp;ze limit:</source>
        <translation>Größengren&amp;ze:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="342"/>
        <source>Size unit</source>
        <translation>Größeneinheit</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="346"/>
        <source>MiB</source>
        <translation>MiB</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="351"/>
        <source>GiB</source>
        <translation>GiB</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="368"/>
        <source>&amp;File:</source>
        <translation>&amp;Datei:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="383"/>
        <source>Choose…</source>
        <translation>Wählen…</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="395"/>
        <source>Whether history is kept, and where, applies to captures started afterwards; the oldest streams go once either limit is reached.</source>
        <translation>Ob und wo der Verlauf behalten wird, gilt für danach gestartete Mitschnitte; die ältesten Verbindungen gehen, sobald eine der Grenzen erreicht ist.</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="82"/>
        <source>&amp;Keep at most:</source>
        <translation>&amp;Maximal behalten:</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="92"/>
        <source>Beyond this many live streams, new conversations are counted on the Other stream, so a flood cannot use up the memory.</source>
        <translation>Über diese Zahl aktiver Verbindungen hinaus werden neue Verbindungen unter „Sonstige“ gezählt, damit eine Flut nicht den Speicher aufbraucht.</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.ui" line="98"/>
        <source> streams</source>
        <translation> Verbindungen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.cpp" line="26"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.cpp" line="187"/>
        <source>History File</source>
        <translation>Verlaufsdatei</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.cpp" line="190"/>
        <source>History files (*.sqlite)</source>
        <translation>Verlaufsdateien (*.sqlite)</translation>
    </message>
    <message>
        <location filename="../app/ui/PreferencesWindow.cpp" line="190"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>ProcessAttribution</name>
    <message>
        <location filename="../app/capture/ProcessAttribution.cpp" line="47"/>
        <source>%1 (%2)</source>
        <comment>program name (process id)</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location filename="../app/capture/ProcessAttribution.cpp" line="48"/>
        <source>other user (%1)</source>
        <comment>a socket of another user account, by its name</comment>
        <translation>anderer Benutzer (%1)</translation>
    </message>
</context>
<context>
    <name>SpeedGraph</name>
    <message>
        <location filename="../app/ui/SpeedGraph.cpp" line="23"/>
        <source>Total speed over the last two minutes: up in blue, down in green</source>
        <translation>Gesamtgeschwindigkeit der letzten zwei Minuten: Upload in Blau, Download in Grün</translation>
    </message>
    <message>
        <location filename="../app/ui/SpeedGraph.cpp" line="42"/>
        <source>Bytes per time bucket: up in blue, down in green</source>
        <translation>Bytes je Zeitabschnitt: hinauf in Blau, herunter in Grün</translation>
    </message>
    <message>
        <location filename="../app/ui/SpeedGraph.cpp" line="94"/>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <location filename="../app/ui/SpeedGraph.cpp" line="94"/>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <location filename="../app/ui/SpeedGraph.cpp" line="115"/>
        <source>now</source>
        <translation>jetzt</translation>
    </message>
    <message>
        <location filename="../app/ui/SpeedGraph.cpp" line="115"/>
        <source>-%1 min</source>
        <translation>-%1 min</translation>
    </message>
</context>
<context>
    <name>StreamCapture</name>
    <message>
        <location filename="../app/capture/StreamCapture.cpp" line="86"/>
        <source>The capture tool could not be started.</source>
        <translation>Das Mitschnittwerkzeug konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <location filename="../app/capture/StreamCapture.cpp" line="92"/>
        <source>The capture could not be started: %1</source>
        <translation>Der Mitschnitt konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <location filename="../app/capture/StreamCaptureCore.cpp" line="71"/>
        <source>The capture tool was ended by signal %1 (%2).</source>
        <translation>Das Mitschnittwerkzeug wurde durch Signal %1 (%2) beendet.</translation>
    </message>
    <message>
        <location filename="../app/capture/StreamCaptureCore.cpp" line="75"/>
        <source>The capture tool ended with status %1.</source>
        <translation>Das Mitschnittwerkzeug wurde mit Status %1 beendet.</translation>
    </message>
    <message>
        <location filename="../app/capture/StreamCaptureCore.cpp" line="266"/>
        <source>The capture tool sent records that cannot be read.</source>
        <translation>Das Mitschnittwerkzeug hat Datensätze gesendet, die nicht gelesen werden können.</translation>
    </message>
    <message>
        <location filename="../app/capture/StreamTable.cpp" line="58"/>
        <source>Other</source>
        <translation>Sonstige</translation>
    </message>
</context>
<context>
    <name>StreamGroup</name>
    <message>
        <location filename="../app/model/StreamGroup.cpp" line="122"/>
        <source>No host</source>
        <translation>Kein Host</translation>
    </message>
    <message>
        <location filename="../app/model/StreamGroup.cpp" line="122"/>
        <source>No program</source>
        <translation>Kein Programm</translation>
    </message>
</context>
<context>
    <name>StreamGroupModel</name>
    <message>
        <location filename="../app/ui/StreamGroupModel.cpp" line="220"/>
        <source>Streams: %1</source>
        <translation>Verbindungen: %1</translation>
    </message>
</context>
<context>
    <name>StreamTableModel</name>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="17"/>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="18"/>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="19"/>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="20"/>
        <source>Process</source>
        <translation>Prozess</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="21"/>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="22"/>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="23"/>
        <source>Payload Up</source>
        <translation>Nutzdaten Upload</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="24"/>
        <source>Payload Down</source>
        <translation>Nutzdaten Download</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="25"/>
        <source>Average Up</source>
        <translation>Mittlerer Upload</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="26"/>
        <source>Average Down</source>
        <translation>Mittlerer Download</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="27"/>
        <source>Opened</source>
        <translation>Geöffnet</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="28"/>
        <source>Total Up</source>
        <translation>Upload gesamt</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="29"/>
        <source>Total Down</source>
        <translation>Download gesamt</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="30"/>
        <source>Interval Up</source>
        <translation>Upload im Intervall</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamTableModel.cpp" line="31"/>
        <source>Interval Down</source>
        <translation>Download im Intervall</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamCellText.cpp" line="116"/>
        <source>Address: %1</source>
        <translation>Adresse: %1</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamCellText.cpp" line="117"/>
        <source>Port: %1</source>
        <translation>Port: %1</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamCellText.cpp" line="120"/>
        <source>Host name: %1</source>
        <translation>Hostname: %1</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamCellText.cpp" line="122"/>
        <source>Service: %1</source>
        <translation>Dienst: %1</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamCellText.cpp" line="124"/>
        <source>Program: %1</source>
        <translation>Programm: %1</translation>
    </message>
</context>
<context>
    <name>StreamTableText</name>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="257"/>
        <source># %1 records of new conversations were counted in the Other stream: the capture holds as many live streams as it may.</source>
        <translation># %1 Datensätze neuer Verbindungen wurden unter „Sonstige“ gezählt: Der Mitschnitt führt bereits so viele aktive Verbindungen wie zulässig.</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="32"/>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="33"/>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="34"/>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="35"/>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="36"/>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="37"/>
        <source>Payload Up</source>
        <translation>Nutzdaten Upload</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="38"/>
        <source>Payload Down</source>
        <translation>Nutzdaten Download</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="39"/>
        <source>Process</source>
        <translation>Prozess</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="121"/>
        <source>%1  %2  Streams: %3  Up %4 (%5 this interval)  Down %6 (%7 this interval)</source>
        <translation>%1  %2  Verbindungen: %3  Upload %4 (%5 in diesem Intervall)  Download %6 (%7 in diesem Intervall)</translation>
    </message>
    <message>
        <location filename="../app/headless/StreamTableText.cpp" line="164"/>
        <source>... %1 more of %2 streams</source>
        <translation>... %1 weitere von %2 Verbindungen</translation>
    </message>
</context>
<context>
    <name>StreamWindow</name>
    <message>
        <location filename="../app/ui/StreamWindow.ui" line="15"/>
        <source>Quillmere</source>
        <translation>Quillmere</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindow.ui" line="130"/>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
</context>
<context>
    <name>StreamWindowController</name>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="51"/>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="54"/>
        <source>Kept in %1</source>
        <translation>Aufbewahrt in %1</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="248"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="264"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="265"/>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="267"/>
        <location filename="../app/ui/StreamWindowController.cpp" line="517"/>
        <source>&amp;Log to File…</source>
        <translation>In Datei &amp;protokollieren…</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="268"/>
        <source>&amp;Export…</source>
        <translation>&amp;Exportieren…</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="271"/>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="272"/>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="274"/>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="275"/>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="277"/>
        <source>&amp;Find</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="282"/>
        <source>&amp;Preferences…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="285"/>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="286"/>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="288"/>
        <location filename="../app/ui/StreamWindowController.cpp" line="373"/>
        <source>&amp;Pause</source>
        <translation>&amp;Pausieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="289"/>
        <source>&amp;Summary</source>
        <translation>&amp;Zusammenfassung</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="290"/>
        <source>&amp;History…</source>
        <translation>&amp;Verlauf…</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="294"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="295"/>
        <source>Quillmere &amp;Help</source>
        <translation>Quillmere-&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="199"/>
        <source>Group by</source>
        <translation>Gruppieren nach</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="202"/>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="203"/>
        <source>Program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="204"/>
        <source>Remote Host</source>
        <translation>Entfernter Host</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="373"/>
        <source>&amp;Resume</source>
        <translation>&amp;Fortsetzen</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="486"/>
        <source>Log to File</source>
        <translation>In Datei protokollieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="489"/>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="489"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="506"/>
        <source>Logging could not be started to the file %1</source>
        <translation>Die Protokollierung in die Datei %1 konnte nicht gestartet werden</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="507"/>
        <source>Cannot log in the folder %1: %2</source>
        <translation>Im Ordner %1 kann nicht protokolliert werden: %2</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="517"/>
        <source>Stop &amp;Logging</source>
        <translation>&amp;Protokollierung beenden</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="524"/>
        <source>An error occurred during the capture process.</source>
        <translation>Beim Mitschnitt ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowController.cpp" line="547"/>
        <source>The table could not be exported to the file %1</source>
        <translation>Die Tabelle konnte nicht in die Datei %1 exportiert werden</translation>
    </message>
</context>
<context>
    <name>StreamWindowToolbar</name>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="34"/>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="233"/>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="35"/>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="267"/>
        <source>Pause</source>
        <translation>Pausieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="36"/>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="246"/>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="37"/>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="273"/>
        <source>Log to File</source>
        <translation>In Datei protokollieren</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="38"/>
        <source>Flexible Space</source>
        <translation>Flexibler Leerraum</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="39"/>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="259"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="52"/>
        <source>Icon and Label</source>
        <translation>Symbol und Beschriftung</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="53"/>
        <source>Icon Only</source>
        <translation>Nur Symbol</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="54"/>
        <source>Label Only</source>
        <translation>Nur Beschriftung</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="267"/>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <location filename="../app/ui/StreamWindowToolbar.cpp" line="273"/>
        <source>Stop Logging</source>
        <translation>Protokollierung beenden</translation>
    </message>
</context>
<context>
    <name>SummaryDrawer</name>
    <message>
        <location filename="../app/ui/SummaryDrawer.cpp" line="62"/>
        <source>%1 TCP, %2 UDP, %3 other</source>
        <translation>%1 TCP, %2 UDP, %3 sonstige</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="12"/>
        <source>Interface:</source>
        <translation>Schnittstelle:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="22"/>
        <source>Capturing for:</source>
        <translation>Mitschnittdauer:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="32"/>
        <source>Live streams:</source>
        <translation>Aktive Verbindungen:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="42"/>
        <source>Shown:</source>
        <translation>Angezeigt:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="52"/>
        <source>Sent:</source>
        <translation>Gesendet:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="62"/>
        <source>Received:</source>
        <translation>Empfangen:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="72"/>
        <source>Up now:</source>
        <translation>Upload aktuell:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="82"/>
        <source>Down now:</source>
        <translation>Download aktuell:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="95"/>
        <source>Records of new conversations counted on the Other stream because the table held as many streams as it may</source>
        <translation>Datensätze neuer Verbindungen, die unter „Sonstige“ gezählt wurden, weil die Tabelle bereits so viele Verbindungen enthielt wie zulässig</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="105"/>
        <source>Lookups refused:</source>
        <translation>Abgewiesene Abfragen:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="108"/>
        <source>Host-name lookups answered without a name because too many were waiting</source>
        <translation>Hostnamen-Abfragen, die ohne Namen beantwortet wurden, weil zu viele Abfragen ausstanden</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="118"/>
        <source>Log lines dropped:</source>
        <translation>Verworfene Protokollzeilen:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="121"/>
        <source>Lines the log file did not take as fast as they came</source>
        <translation>Zeilen, die die Protokolldatei nicht so schnell aufnahm, wie sie kamen</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="131"/>
        <source>History:</source>
        <translation>Verlauf:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="134"/>
        <source>Where the streams of this capture are kept, or why they are not</source>
        <translation>Wo die Streams dieser Aufzeichnung aufbewahrt werden, oder warum nicht</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.ui" line="92"/>
        <source>Records folded into Other:</source>
        <translation>Unter „Sonstige“ gezählte Datensätze:</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.cpp" line="76"/>
        <source>%1 records</source>
        <translation>%1 Datensätze</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.cpp" line="77"/>
        <source>%1 lookups</source>
        <translation>%1 Abfragen</translation>
    </message>
    <message>
        <location filename="../app/ui/SummaryDrawer.cpp" line="78"/>
        <source>%1 lines</source>
        <translation>%1 Zeilen</translation>
    </message>
</context>
<context>
    <name>TableExport</name>
    <message>
        <location filename="../app/ui/TableExport.cpp" line="53"/>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <location filename="../app/ui/TableExport.cpp" line="55"/>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <location filename="../app/ui/TableExport.cpp" line="56"/>
        <source>JSON files (*.json)</source>
        <translation>JSON-Dateien (*.json)</translation>
    </message>
</context>
<context>
    <name>ToolInstallation</name>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="112"/>
        <source>The folder for the capture tool could not be found.</source>
        <translation>Der Ordner für das Mitschnittwerkzeug wurde nicht gefunden.</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="116"/>
        <source>The capture tool is missing from the application (%1).</source>
        <translation>Das Mitschnittwerkzeug fehlt in der Anwendung (%1).</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="143"/>
        <source>The installer of the capture tool is missing from the application (%1).</source>
        <translation>Das Installationsprogramm des Mitschnittwerkzeugs fehlt in der Anwendung (%1).</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="150"/>
        <source>Installing the capture tool needs an administrator&apos;s approval, and there is no way to ask for it here. Run Quillmere once as root, or start a polkit agent (for example pkttyagent) and try again. Help explains both under &quot;When no password dialog appears&quot;.</source>
        <translation>Die Installation des Mitschnittwerkzeugs erfordert die Zustimmung eines Administrators, die hier nicht eingeholt werden kann. Quillmere einmal als root ausführen oder einen polkit-Agenten (zum Beispiel pkttyagent) starten und es dann erneut versuchen. Die Hilfe erklärt beides unter „When no password dialog appears“.</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="161"/>
        <source>Installing the capture tool was not authorized.</source>
        <translation>Die Installation des Mitschnittwerkzeugs wurde nicht genehmigt.</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="164"/>
        <source>The installer of the capture tool could not be started.</source>
        <translation>Das Installationsprogramm des Mitschnittwerkzeugs konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="200"/>
        <source>The capture tool could not be installed at %1.</source>
        <translation>Das Mitschnittwerkzeug konnte nicht unter %1 installiert werden.</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="44"/>
        <source>%1 may not capture network traffic on this computer: the capture tool is only for the people an administrator allowed. An administrator can allow %1 by approving Quillmere&apos;s request, or with the command &quot;adduser %1 %2&quot; (which takes effect at the next login).</source>
        <translation>%1 darf auf diesem Computer keinen Netzwerkverkehr aufzeichnen: Das Aufzeichnungswerkzeug ist nur für die Personen, die ein Administrator zugelassen hat. Ein Administrator kann %1 zulassen, indem er die Anfrage von Quillmere bestätigt, oder mit dem Befehl &quot;adduser %1 %2&quot; (wirksam ab der nächsten Anmeldung).</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="126"/>
        <source>Allow %1 to capture network traffic on this computer</source>
        <translation>%1 erlauben, auf diesem Computer Netzwerkverkehr aufzuzeichnen</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="132"/>
        <source>Install the capture tool of Quillmere, which %1 may then run</source>
        <translation>Das Aufzeichnungswerkzeug von Quillmere installieren, das %1 dann ausführen darf</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="168"/>
        <source>Quillmere asks no administrator to run its installer, because %1, so whoever can change it would have it run as root. Install Quillmere (cmake --install, or its package), or run it as root.</source>
        <translation>Quillmere bittet keinen Administrator, sein Installationsprogramm auszuführen, denn %1; wer es ändern kann, könnte es so als root ausführen lassen. Installieren Sie Quillmere (cmake --install oder sein Paket) oder führen Sie es als root aus.</translation>
    </message>
    <message>
        <location filename="../app/capture/ToolInstallation.cpp" line="185"/>
        <source>%1 has been allowed to capture as a member of the group %2, which takes effect at the next login. Log out and in again, then start the capture again.</source>
        <translation>%1 darf nun als Mitglied der Gruppe %2 aufzeichnen; das wird ab der nächsten Anmeldung wirksam. Melden Sie sich ab und wieder an und starten Sie dann die Aufzeichnung erneut.</translation>
    </message>
</context>
<context>
    <name>WindowMode</name>
    <message>
        <location filename="../app/ui/WindowMode.cpp" line="30"/>
        <source>There is no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set). Run without a window: quillmere --headless --interface NAME</source>
        <translation>Es gibt keinen Bildschirm, auf dem ein Fenster geöffnet werden kann (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt). Ohne Fenster läuft es so: quillmere --headless --interface NAME</translation>
    </message>
</context>
<context>
    <name>WindowProgram</name>
    <message>
        <location filename="../app/headless/WindowProgram.cpp" line="19"/>
        <source>This installation of Quillmere has no windows (%1 is not there). Run it without one: quillmere --headless --interface NAME</source>
        <translation>Diese Installation von Quillmere hat keine Fenster (%1 fehlt). Ohne Fenster läuft es so: quillmere --headless --interface NAME</translation>
    </message>
    <message>
        <location filename="../app/headless/WindowProgram.cpp" line="22"/>
        <source>Cannot start the windows (%1): %2</source>
        <translation>Die Fenster können nicht gestartet werden (%1): %2</translation>
    </message>
</context>
</TS>
