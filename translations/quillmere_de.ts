<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppDelegate</name>
    <message>
        <source>Quillmere cannot watch %1.</source>
        <translation>Quillmere kann %1 nicht überwachen.</translation>
    </message>
</context>
<context>
    <name>CommandLineOptions</name>
    <message>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Die Version anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Run without a window and print the stream table.</source>
        <translation>Ohne Fenster ausführen und die Verbindungstabelle ausgeben.</translation>
    </message>
    <message>
        <source>Capture on this network interface.</source>
        <translation>Auf dieser Netzwerkschnittstelle mitschneiden.</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>Append new and closed streams to this file (with --headless).</source>
        <translation>Neue und geschlossene Verbindungen an diese Datei anhängen (mit --headless).</translation>
    </message>
    <message>
        <source>FILE</source>
        <translation>DATEI</translation>
    </message>
    <message>
        <source>Print every SECONDS seconds (with --headless); the update interval of this run, not saved.</source>
        <translation>Alle SEKUNDEN Sekunden ausgeben (mit --headless); gilt als Aktualisierungsintervall nur für diesen Lauf und wird nicht gespeichert.</translation>
    </message>
    <message>
        <source>SECONDS</source>
        <translation>SEKUNDEN</translation>
    </message>
    <message>
        <source>Print one JSON object per stream and interval (with --headless).</source>
        <translation>Ein JSON-Objekt pro Verbindung und Intervall ausgeben (mit --headless).</translation>
    </message>
    <message>
        <source>Quillmere shows the network conversations of an interface, live.</source>
        <translation>Quillmere zeigt die Netzwerkverbindungen einer Schnittstelle live an.</translation>
    </message>
    <message>
        <source>Unexpected argument: %1</source>
        <translation>Unerwartetes Argument: %1</translation>
    </message>
    <message>
        <source>--log, --interval and --json need --headless.</source>
        <translation>--log, --interval und --json erfordern --headless.</translation>
    </message>
    <message>
        <source>--headless needs --interface NAME.</source>
        <translation>--headless erfordert --interface NAME.</translation>
    </message>
    <message>
        <source>--interval needs a positive number of seconds.</source>
        <translation>--interval erfordert eine positive Anzahl von Sekunden.</translation>
    </message>
</context>
<context>
    <name>GuardedFile</name>
    <message>
        <source>it is a symbolic link in a folder every user may write to</source>
        <translation>es ist eine symbolische Verknüpfung in einem Ordner, in den jeder Benutzer schreiben darf</translation>
    </message>
    <message>
        <source>it belongs to another user in a folder every user may write to</source>
        <translation>es gehört einem anderen Benutzer, in einem Ordner, in den jeder Benutzer schreiben darf</translation>
    </message>
    <message>
        <source>it is not the name of a file</source>
        <translation>es ist nicht der Name einer Datei</translation>
    </message>
</context>
<context>
    <name>HeadlessCapture</name>
    <message>
        <source>The capture tool is installed with an administrator&apos;s approval. Run Quillmere once as root (for example with sudo), or start a terminal password agent (pkttyagent) in this session, and try again.</source>
        <translation>Das Mitschnittwerkzeug wird mit der Zustimmung eines Administrators installiert. Quillmere einmal als root ausführen (zum Beispiel mit sudo) oder in dieser Sitzung einen Terminal-Passwortagenten (pkttyagent) starten und es dann erneut versuchen.</translation>
    </message>
    <message>
        <source>Cannot log to %1: %2</source>
        <translation>Protokollieren in %1 nicht möglich: %2</translation>
    </message>
    <message>
        <source>The capture was not started: the password dialog was cancelled.</source>
        <translation>Der Mitschnitt wurde nicht gestartet: Der Passwortdialog wurde abgebrochen.</translation>
    </message>
</context>
<context>
    <name>HelpBrowser</name>
    <message>
        <source>Help Is Not Available</source>
        <translation>Hilfe nicht verfügbar</translation>
    </message>
    <message>
        <source>The help pages are missing from this installation (expected at %1).</source>
        <translation>In dieser Installation fehlen die Hilfeseiten (erwartet unter %1).</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Quillmere Help</source>
        <translation>Quillmere-Hilfe</translation>
    </message>
    <message>
        <source>Navigation</source>
        <translation>Navigation</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>InterfaceChooser</name>
    <message>
        <source>Quillmere</source>
        <translation>Quillmere</translation>
    </message>
    <message>
        <source>Choose the network interface to watch:</source>
        <translation>Zu überwachende Netzwerkschnittstelle auswählen:</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Watch</source>
        <translation>Über&amp;wachen</translation>
    </message>
    <message>
        <source>The network interfaces could not be read.</source>
        <translation>Die Netzwerkschnittstellen konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <source>No network interface that is up has an address.</source>
        <translation>Keine aktive Netzwerkschnittstelle hat eine Adresse.</translation>
    </message>
</context>
<context>
    <name>InterfaceList</name>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - destination: __destination__</source>
        <translation>__dateTime__ (__unixTime__): neue __protocol__-Verbindung: Quelle: __source__ - Ziel: __destination__</translation>
    </message>
    <message>
        <source>__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__ - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__) - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at __lifetimeDownSpeed__)</source>
        <translation>__dateTime__ (__unixTime__): __protocol__-Verbindung geschlossen: Quelle: __source__ - Ziel: __destination__ - gesendete Bytes insgesamt: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ mit __lifetimeUpSpeed__) - empfangene Bytes insgesamt: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ mit __lifetimeDownSpeed__)</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Updates</source>
        <translation>Aktualisierung</translation>
    </message>
    <message>
        <source>&amp;Update every:</source>
        <translation>&amp;Aktualisierung alle:</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>&amp;Remove streams idle for:</source>
        <translation>Inaktive Verbindungen &amp;entfernen nach:</translation>
    </message>
    <message>
        <source>A TCP connection seen from its start stays in the table, however long it is silent, until it closes or resets, or until it has been idle for the time below.</source>
        <translation>Eine von Anfang an gesehene TCP-Verbindung bleibt in der Tabelle, wie lange sie auch still ist, bis sie geschlossen oder zurückgesetzt wird oder so lange inaktiv war wie unten angegeben.</translation>
    </message>
    <message>
        <source>Keep &amp;TCP connections until they close</source>
        <translation>&amp;TCP-Verbindungen behalten, bis sie geschlossen werden</translation>
    </message>
    <message>
        <source>Remove TCP connections &amp;idle for:</source>
        <translation>Inaktive TCP-Verbindungen entfernen &amp;nach:</translation>
    </message>
    <message>
        <source>Names</source>
        <translation>Namen</translation>
    </message>
    <message>
        <source>Look up &amp;host names</source>
        <translation>&amp;Hostnamen auflösen</translation>
    </message>
    <message>
        <source>Show service names for &amp;ports</source>
        <translation>Dienstnamen für &amp;Ports anzeigen</translation>
    </message>
    <message>
        <source>These apply to streams that appear afterwards; streams already listed keep their names.</source>
        <translation>Diese Einstellungen gelten für Verbindungen, die danach erscheinen; bereits aufgeführte Verbindungen behalten ihre Namen.</translation>
    </message>
    <message>
        <source>Logging</source>
        <translation>Protokollierung</translation>
    </message>
    <message>
        <source>Write a line when a stream appears</source>
        <translation>Eine Zeile schreiben, sobald eine Verbindung erscheint</translation>
    </message>
    <message>
        <source>&amp;New stream:</source>
        <translation>&amp;Neue Verbindung:</translation>
    </message>
    <message>
        <source>New stream template</source>
        <translation>Vorlage für neue Verbindungen</translation>
    </message>
    <message>
        <source>Write a line when a stream is closed</source>
        <translation>Eine Zeile schreiben, sobald eine Verbindung geschlossen wird</translation>
    </message>
    <message>
        <source>Closed &amp;stream:</source>
        <translation>&amp;Geschlossene Verbindung:</translation>
    </message>
    <message>
        <source>Closed stream template</source>
        <translation>Vorlage für geschlossene Verbindungen</translation>
    </message>
    <message>
        <source>In a template, a key name between double underscores, such as __source__ or __lifetimeUpSpeed__, stands for that stream&apos;s value. Help lists every key.</source>
        <translation>In einer Vorlage steht ein Schlüsselname zwischen doppelten Unterstrichen, etwa __source__ oder __lifetimeUpSpeed__, für den jeweiligen Wert der Verbindung. Die Hilfe führt alle Schlüssel auf.</translation>
    </message>
    <message>
        <source>Restore &amp;Default Templates</source>
        <translation>Standard&amp;vorlagen wiederherstellen</translation>
    </message>
    <message>
        <source>&amp;Keep at most:</source>
        <translation>&amp;Maximal behalten:</translation>
    </message>
    <message>
        <source>Beyond this many live streams, new conversations are counted on the Other stream, so a flood cannot use up the memory.</source>
        <translation>Über diese Zahl aktiver Verbindungen hinaus werden neue Verbindungen unter „Sonstige“ gezählt, damit eine Flut nicht den Speicher aufbraucht.</translation>
    </message>
    <message>
        <source> streams</source>
        <translation> Verbindungen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>ProcessAttribution</name>
    <message>
        <source>%1 (%2)</source>
        <comment>program name (process id)</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>other user (%1)</source>
        <comment>a socket of another user account, by its name</comment>
        <translation>anderer Benutzer (%1)</translation>
    </message>
</context>
<context>
    <name>SpeedGraph</name>
    <message>
        <source>Total speed over the last two minutes: up in blue, down in green</source>
        <translation>Gesamtgeschwindigkeit der letzten zwei Minuten: Upload in Blau, Download in Grün</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>now</source>
        <translation>jetzt</translation>
    </message>
    <message>
        <source>-%1 min</source>
        <translation>-%1 min</translation>
    </message>
</context>
<context>
    <name>StreamCapture</name>
    <message>
        <source>The capture tool could not be started.</source>
        <translation>Das Mitschnittwerkzeug konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The capture could not be started: %1</source>
        <translation>Der Mitschnitt konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>The capture tool was ended by signal %1 (%2).</source>
        <translation>Das Mitschnittwerkzeug wurde durch Signal %1 (%2) beendet.</translation>
    </message>
    <message>
        <source>The capture tool ended with status %1.</source>
        <translation>Das Mitschnittwerkzeug wurde mit Status %1 beendet.</translation>
    </message>
    <message>
        <source>The capture tool sent records that cannot be read.</source>
        <translation>Das Mitschnittwerkzeug hat Datensätze gesendet, die nicht gelesen werden können.</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Sonstige</translation>
    </message>
</context>
<context>
    <name>StreamTableModel</name>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Process</source>
        <translation>Prozess</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Payload Up</source>
        <translation>Nutzdaten Upload</translation>
    </message>
    <message>
        <source>Payload Down</source>
        <translation>Nutzdaten Download</translation>
    </message>
    <message>
        <source>Average Up</source>
        <translation>Mittlerer Upload</translation>
    </message>
    <message>
        <source>Average Down</source>
        <translation>Mittlerer Download</translation>
    </message>
    <message>
        <source>Opened</source>
        <translation>Geöffnet</translation>
    </message>
    <message>
        <source>Total Up</source>
        <translation>Upload gesamt</translation>
    </message>
    <message>
        <source>Total Down</source>
        <translation>Download gesamt</translation>
    </message>
    <message>
        <source>Interval Up</source>
        <translation>Upload im Intervall</translation>
    </message>
    <message>
        <source>Interval Down</source>
        <translation>Download im Intervall</translation>
    </message>
    <message>
        <source>Address: %1</source>
        <translation>Adresse: %1</translation>
    </message>
    <message>
        <source>Port: %1</source>
        <translation>Port: %1</translation>
    </message>
    <message>
        <source>Host name: %1</source>
        <translation>Hostname: %1</translation>
    </message>
    <message>
        <source>Service: %1</source>
        <translation>Dienst: %1</translation>
    </message>
    <message>
        <source>Program: %1</source>
        <translation>Programm: %1</translation>
    </message>
</context>
<context>
    <name>StreamTableText</name>
    <message>
        <source># %1 records of new conversations were counted in the Other stream: the capture holds as many live streams as it may.</source>
        <translation># %1 Datensätze neuer Verbindungen wurden unter „Sonstige“ gezählt: Der Mitschnitt führt bereits so viele aktive Verbindungen wie zulässig.</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Payload Up</source>
        <translation>Nutzdaten Upload</translation>
    </message>
    <message>
        <source>Payload Down</source>
        <translation>Nutzdaten Download</translation>
    </message>
    <message>
        <source>Process</source>
        <translation>Prozess</translation>
    </message>
    <message>
        <source>%1  %2  Streams: %3  Up %4 (%5 this interval)  Down %6 (%7 this interval)</source>
        <translation>%1  %2  Verbindungen: %3  Upload %4 (%5 in diesem Intervall)  Download %6 (%7 in diesem Intervall)</translation>
    </message>
    <message>
        <source>... %1 more of %2 streams</source>
        <translation>... %1 weitere von %2 Verbindungen</translation>
    </message>
</context>
<context>
    <name>StreamWindow</name>
    <message>
        <source>Quillmere</source>
        <translation>Quillmere</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
</context>
<context>
    <name>StreamWindowController</name>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Log to File…</source>
        <translation>In Datei &amp;protokollieren…</translation>
    </message>
    <message>
        <source>&amp;Export…</source>
        <translation>&amp;Exportieren…</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <source>&amp;Preferences…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pausieren</translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation>&amp;Zusammenfassung</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Quillmere &amp;Help</source>
        <translation>Quillmere-&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Fortsetzen</translation>
    </message>
    <message>
        <source>Log to File</source>
        <translation>In Datei protokollieren</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Logging could not be started to the file %1</source>
        <translation>Die Protokollierung in die Datei %1 konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>Cannot log in the folder %1: %2</source>
        <translation>Im Ordner %1 kann nicht protokolliert werden: %2</translation>
    </message>
    <message>
        <source>Stop &amp;Logging</source>
        <translation>&amp;Protokollierung beenden</translation>
    </message>
    <message>
        <source>An error occurred during the capture process.</source>
        <translation>Beim Mitschnitt ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>JSON files (*.json)</source>
        <translation>JSON-Dateien (*.json)</translation>
    </message>
    <message>
        <source>The table could not be exported to the file %1</source>
        <translation>Die Tabelle konnte nicht in die Datei %1 exportiert werden</translation>
    </message>
</context>
<context>
    <name>StreamWindowToolbar</name>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausieren</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>Log to File</source>
        <translation>In Datei protokollieren</translation>
    </message>
    <message>
        <source>Flexible Space</source>
        <translation>Flexibler Leerraum</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Icon and Label</source>
        <translation>Symbol und Beschriftung</translation>
    </message>
    <message>
        <source>Icon Only</source>
        <translation>Nur Symbol</translation>
    </message>
    <message>
        <source>Label Only</source>
        <translation>Nur Beschriftung</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Stop Logging</source>
        <translation>Protokollierung beenden</translation>
    </message>
</context>
<context>
    <name>SummaryDrawer</name>
    <message>
        <source>%1 TCP, %2 UDP, %3 other</source>
        <translation>%1 TCP, %2 UDP, %3 sonstige</translation>
    </message>
    <message>
        <source>Interface:</source>
        <translation>Schnittstelle:</translation>
    </message>
    <message>
        <source>Capturing for:</source>
        <translation>Mitschnittdauer:</translation>
    </message>
    <message>
        <source>Live streams:</source>
        <translation>Aktive Verbindungen:</translation>
    </message>
    <message>
        <source>Shown:</source>
        <translation>Angezeigt:</translation>
    </message>
    <message>
        <source>Sent:</source>
        <translation>Gesendet:</translation>
    </message>
    <message>
        <source>Received:</source>
        <translation>Empfangen:</translation>
    </message>
    <message>
        <source>Up now:</source>
        <translation>Upload aktuell:</translation>
    </message>
    <message>
        <source>Down now:</source>
        <translation>Download aktuell:</translation>
    </message>
    <message>
        <source>Records of new conversations counted on the Other stream because the table held as many streams as it may</source>
        <translation>Datensätze neuer Verbindungen, die unter „Sonstige“ gezählt wurden, weil die Tabelle bereits so viele Verbindungen enthielt wie zulässig</translation>
    </message>
    <message>
        <source>Lookups refused:</source>
        <translation>Abgewiesene Abfragen:</translation>
    </message>
    <message>
        <source>Host-name lookups answered without a name because too many were waiting</source>
        <translation>Hostnamen-Abfragen, die ohne Namen beantwortet wurden, weil zu viele Abfragen ausstanden</translation>
    </message>
    <message>
        <source>Log lines dropped:</source>
        <translation>Verworfene Protokollzeilen:</translation>
    </message>
    <message>
        <source>Lines the log file did not take as fast as they came</source>
        <translation>Zeilen, die die Protokolldatei nicht so schnell aufnahm, wie sie kamen</translation>
    </message>
    <message>
        <source>Records folded into Other:</source>
        <translation>Unter „Sonstige“ gezählte Datensätze:</translation>
    </message>
    <message>
        <source>%1 records</source>
        <translation>%1 Datensätze</translation>
    </message>
    <message>
        <source>%1 lookups</source>
        <translation>%1 Abfragen</translation>
    </message>
    <message>
        <source>%1 lines</source>
        <translation>%1 Zeilen</translation>
    </message>
</context>
<context>
    <name>ToolInstallation</name>
    <message>
        <source>The folder for the capture tool could not be found.</source>
        <translation>Der Ordner für das Mitschnittwerkzeug wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The capture tool is missing from the application (%1).</source>
        <translation>Das Mitschnittwerkzeug fehlt in der Anwendung (%1).</translation>
    </message>
    <message>
        <source>The installer of the capture tool is missing from the application (%1).</source>
        <translation>Das Installationsprogramm des Mitschnittwerkzeugs fehlt in der Anwendung (%1).</translation>
    </message>
    <message>
        <source>Installing the capture tool needs an administrator&apos;s approval, and there is no way to ask for it here. Run Quillmere once as root, or start a polkit agent (for example pkttyagent) and try again. Help explains both under &quot;When no password dialog appears&quot;.</source>
        <translation>Die Installation des Mitschnittwerkzeugs erfordert die Zustimmung eines Administrators, die hier nicht eingeholt werden kann. Quillmere einmal als root ausführen oder einen polkit-Agenten (zum Beispiel pkttyagent) starten und es dann erneut versuchen. Die Hilfe erklärt beides unter „When no password dialog appears“.</translation>
    </message>
    <message>
        <source>Installing the capture tool was not authorized.</source>
        <translation>Die Installation des Mitschnittwerkzeugs wurde nicht genehmigt.</translation>
    </message>
    <message>
        <source>The installer of the capture tool could not be started.</source>
        <translation>Das Installationsprogramm des Mitschnittwerkzeugs konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The capture tool could not be installed at %1.</source>
        <translation>Das Mitschnittwerkzeug konnte nicht unter %1 installiert werden.</translation>
    </message>
    <message>
        <source>%1 may not capture network traffic on this computer: the capture tool is only for the people an administrator allowed. An administrator can allow %1 by approving Quillmere&apos;s request, or with the command &quot;adduser %1 %2&quot; (which takes effect at the next login).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allow %1 to capture network traffic on this computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Install the capture tool of Quillmere, which %1 may then run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quillmere asks no administrator to run its installer, because %1, so whoever can change it would have it run as root. Install Quillmere (cmake --install, or its package), or run it as root.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 has been allowed to capture as a member of the group %2, which takes effect at the next login. Log out and in again, then start the capture again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WindowMode</name>
    <message>
        <source>There is no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set). Run without a window: quillmere --headless --interface NAME</source>
        <translation>Es gibt keinen Bildschirm, auf dem ein Fenster geöffnet werden kann (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt). Ohne Fenster läuft es so: quillmere --headless --interface NAME</translation>
    </message>
</context>
<context>
    <name>WindowProgram</name>
    <message>
        <source>This installation of Quillmere has no windows (%1 is not there). Run it without one: quillmere --headless --interface NAME</source>
        <translation>Diese Installation von Quillmere hat keine Fenster (%1 fehlt). Ohne Fenster läuft es so: quillmere --headless --interface NAME</translation>
    </message>
    <message>
        <source>Cannot start the windows (%1): %2</source>
        <translation>Die Fenster können nicht gestartet werden (%1): %2</translation>
    </message>
</context>
</TS>
