<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>lang</name>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>A&amp;bout</source>
        <translation>Übe&amp;r</translation>
    </message>
    <message>
        <source>Task List</source>
        <translation>Aufgabenliste</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Starten</translation>
    </message>
    <message>
        <source>Conversion Settings</source>
        <translation>Einstellungen der Umwandlung</translation>
    </message>
    <message>
        <source>This cannot be done while files are being read or converted.</source>
        <translation>Das geht nicht, solange Dateien gelesen oder umgewandelt werden.</translation>
    </message>
    <message>
        <source>Would you like to use the same settings for the other files?</source>
        <translation>Möchten Sie für die übrigen Dateien dieselben Einstellungen verwenden?</translation>
    </message>
    <message>
        <source>Please click the &quot;Add Files&quot; button to add files.</source>
        <translation>Klicken Sie auf „Dateien hinzufügen“, um Dateien hinzuzufügen.</translation>
    </message>
    <message>
        <source>Reading file:</source>
        <translation>Datei wird gelesen:</translation>
    </message>
    <message>
        <source>Input File</source>
        <translation>Eingabedatei</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Output File Size</source>
        <translation>Größe der Ausgabedatei</translation>
    </message>
    <message>
        <source>about</source>
        <translation>etwa</translation>
    </message>
    <message>
        <source>There is nothing to convert.</source>
        <translation>Es gibt nichts umzuwandeln.</translation>
    </message>
    <message>
        <source>MP3 Settings</source>
        <translation>MP3-Einstellungen</translation>
    </message>
    <message>
        <source>CBR</source>
        <translation>CBR</translation>
    </message>
    <message>
        <source>VBR</source>
        <translation>VBR</translation>
    </message>
    <message>
        <source>Sa&amp;ve MP3 files:</source>
        <translation>MP3-Dateien s&amp;peichern:</translation>
    </message>
    <message>
        <source>Beside each source file</source>
        <translation>Neben der jeweiligen Quelldatei</translation>
    </message>
    <message>
        <source>Select Files to Convert</source>
        <translation>Dateien zum Umwandeln auswählen</translation>
    </message>
    <message>
        <source>Select a Folder to Convert</source>
        <translation>Ordner zum Umwandeln auswählen</translation>
    </message>
    <message>
        <source>Select the Folder for the MP3 Files</source>
        <translation>Ordner für die MP3-Dateien auswählen</translation>
    </message>
    <message>
        <source>All media files</source>
        <translation>Alle Mediendateien</translation>
    </message>
    <message>
        <source>Windows Media files</source>
        <translation>Windows-Media-Dateien</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <source>No media files were found in:</source>
        <translation>Keine Mediendateien gefunden in:</translation>
    </message>
    <message>
        <source>These files were not added:</source>
        <translation>Diese Dateien wurden nicht hinzugefügt:</translation>
    </message>
    <message>
        <source>cannot be read (not a media file, or a codec is missing)</source>
        <translation>kann nicht gelesen werden (keine Mediendatei, oder ein Codec fehlt)</translation>
    </message>
    <message>
        <source>has no audio stream</source>
        <translation>hat keine Tonspur</translation>
    </message>
    <message>
        <source>is protected by DRM</source>
        <translation>ist durch DRM geschützt</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Dual Channels</source>
        <translation>Zwei Kanäle</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Joint Stereo</source>
        <translation>Joint Stereo</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Input File Information</source>
        <translation>Angaben zur Eingabedatei</translation>
    </message>
    <message>
        <source>&amp;Input file:</source>
        <translation>&amp;Eingabedatei:</translation>
    </message>
    <message>
        <source>O&amp;utput file:</source>
        <translation>A&amp;usgabedatei:</translation>
    </message>
    <message>
        <source>Choose another input file</source>
        <translation>Andere Eingabedatei wählen</translation>
    </message>
    <message>
        <source>Choose the output file</source>
        <translation>Ausgabedatei wählen</translation>
    </message>
    <message>
        <source>Select the Input File</source>
        <translation>Eingabedatei auswählen</translation>
    </message>
    <message>
        <source>Save the MP3 File As</source>
        <translation>MP3-Datei speichern unter</translation>
    </message>
    <message>
        <source>MP3 files</source>
        <translation>MP3-Dateien</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>&amp;Zurück</translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation>&amp;Weiter</translation>
    </message>
    <message>
        <source>Bit Rate</source>
        <translation>Bitrate</translation>
    </message>
    <message>
        <source>&amp;Variable bit rate (VBR)</source>
        <translation>&amp;Variable Bitrate (VBR)</translation>
    </message>
    <message>
        <source>Bit &amp;rate:</source>
        <translation>Bit&amp;rate:</translation>
    </message>
    <message>
        <source>M&amp;inimum:</source>
        <translation>M&amp;inimum:</translation>
    </message>
    <message>
        <source>Ma&amp;ximum:</source>
        <translation>Ma&amp;ximum:</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Channel Mode</source>
        <translation>Kanalmodus</translation>
    </message>
    <message>
        <source>Tag Editor</source>
        <translation>Tags</translation>
    </message>
    <message>
        <source>&amp;Title:</source>
        <translation>&amp;Titel:</translation>
    </message>
    <message>
        <source>A&amp;lbum:</source>
        <translation>A&amp;lbum:</translation>
    </message>
    <message>
        <source>&amp;Artist:</source>
        <translation>&amp;Interpret:</translation>
    </message>
    <message>
        <source>Album a&amp;rtist:</source>
        <translation>Albumi&amp;nterpret:</translation>
    </message>
    <message>
        <source>Trac&amp;k:</source>
        <translation>Titeln&amp;ummer:</translation>
    </message>
    <message>
        <source>&amp;Genre:</source>
        <translation>&amp;Genre:</translation>
    </message>
    <message>
        <source>&amp;Year:</source>
        <translation>&amp;Jahr:</translation>
    </message>
    <message>
        <source>Co&amp;mment:</source>
        <translation>&amp;Kommentar:</translation>
    </message>
    <message>
        <source>Cover picture</source>
        <translation>Coverbild</translation>
    </message>
    <message>
        <source>Album artist</source>
        <translation>Albuminterpret</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Titelnummer</translation>
    </message>
    <message>
        <source>Disc</source>
        <translation>CD</translation>
    </message>
    <message>
        <source>Composer</source>
        <translation>Komponist</translation>
    </message>
    <message>
        <source>Cover</source>
        <translation>Cover</translation>
    </message>
    <message>
        <source>left out</source>
        <translation>weggelassen</translation>
    </message>
    <message>
        <source>More tags</source>
        <translation>Weitere Tags</translation>
    </message>
    <message>
        <source>The source has no cover picture.</source>
        <translation>Die Quelle hat kein Coverbild.</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>The output file is the input file itself:</source>
        <translation>Die Ausgabedatei ist die Eingabedatei selbst:</translation>
    </message>
    <message>
        <source>Please choose another output file.</source>
        <translation>Bitte wählen Sie eine andere Ausgabedatei.</translation>
    </message>
    <message>
        <source>Conversion Progress</source>
        <translation>Fortschritt der Umwandlung</translation>
    </message>
    <message>
        <source>Preview Window</source>
        <translation>Vorschaufenster</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>A&amp;nhalten</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Fortsetzen</translation>
    </message>
    <message>
        <source>Shut down the computer after the conversion</source>
        <translation>Computer nach der Umwandlung ausschalten</translation>
    </message>
    <message>
        <source>Current File</source>
        <translation>Aktuelle Datei</translation>
    </message>
    <message>
        <source>Time elapsed</source>
        <translation>Vergangene Zeit</translation>
    </message>
    <message>
        <source>remaining</source>
        <translation>verbleibend</translation>
    </message>
    <message>
        <source>Are you sure you want to cancel the conversion?</source>
        <translation>Möchten Sie die Umwandlung wirklich abbrechen?</translation>
    </message>
    <message>
        <source>Please check the tasks you want to convert.</source>
        <translation>Bitte haken Sie die Aufgaben an, die umgewandelt werden sollen.</translation>
    </message>
    <message>
        <source>Reading file, please wait</source>
        <translation>Datei wird gelesen, bitte warten</translation>
    </message>
    <message>
        <source>Click here to restore the main window</source>
        <translation>Hier klicken, um das Hauptfenster wiederherzustellen</translation>
    </message>
    <message>
        <source>&amp;Hide to Tray</source>
        <translation>Im &amp;Infobereich ausblenden</translation>
    </message>
    <message>
        <source>All files have been converted successfully.</source>
        <translation>Alle Dateien wurden erfolgreich umgewandelt.</translation>
    </message>
    <message>
        <source>The conversion was cancelled.</source>
        <translation>Die Umwandlung wurde abgebrochen.</translation>
    </message>
    <message>
        <source>Would you like to open the output folder to see the converted files?</source>
        <translation>Möchten Sie den Ausgabeordner öffnen, um die umgewandelten Dateien zu sehen?</translation>
    </message>
    <message>
        <source>&amp;Show</source>
        <translation>&amp;Anzeigen</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>1 file could not be converted:</source>
        <translation>1 Datei konnte nicht umgewandelt werden:</translation>
    </message>
    <message>
        <source>files could not be converted:</source>
        <translation>Dateien konnten nicht umgewandelt werden:</translation>
    </message>
    <message>
        <source>1 file was converted with a warning:</source>
        <translation>1 Datei wurde mit einer Warnung umgewandelt:</translation>
    </message>
    <message>
        <source>files were converted with a warning:</source>
        <translation>Dateien wurden mit einer Warnung umgewandelt:</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>Converting</source>
        <translation>Wird umgewandelt</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>Übersprungen</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Problems</source>
        <translation>Probleme</translation>
    </message>
    <message>
        <source>already exists</source>
        <translation>ist schon vorhanden</translation>
    </message>
    <message>
        <source>The output file already exists:</source>
        <translation>Die Ausgabedatei ist schon vorhanden:</translation>
    </message>
    <message>
        <source>&amp;Replace</source>
        <translation>&amp;Ersetzen</translation>
    </message>
    <message>
        <source>&amp;Skip</source>
        <translation>&amp;Überspringen</translation>
    </message>
    <message>
        <source>&amp;Keep Both</source>
        <translation>&amp;Beide behalten</translation>
    </message>
    <message>
        <source>&amp;Do the same for the rest of this run</source>
        <translation>&amp;Für die übrigen Dateien dieses Durchlaufs ebenso verfahren</translation>
    </message>
    <message>
        <source>No thread could be started to read the file.</source>
        <translation>Zum Lesen der Datei konnte kein Thread gestartet werden.</translation>
    </message>
    <message>
        <source>The following file cannot be read.</source>
        <translation>Die folgende Datei kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Usually installing the required codecs solves the problem. Please click the Help button to learn how to install them.</source>
        <translation>Meist hilft es, die nötigen Codecs zu installieren. Klicken Sie auf „Hilfe“, um zu erfahren, wie Sie sie installieren.</translation>
    </message>
    <message>
        <source>is protected by DRM and cannot be converted.</source>
        <translation>ist durch DRM geschützt und kann nicht umgewandelt werden.</translation>
    </message>
    <message>
        <source>The following file has no audio stream and cannot be converted to MP3.</source>
        <translation>Die folgende Datei hat keine Tonspur und kann nicht in MP3 umgewandelt werden.</translation>
    </message>
    <message>
        <source>The specified output folder does not exist.</source>
        <translation>Der angegebene Ausgabeordner ist nicht vorhanden.</translation>
    </message>
    <message>
        <source>Would you like to create it?</source>
        <translation>Möchten Sie ihn anlegen?</translation>
    </message>
    <message>
        <source>Tip of the Day</source>
        <translation>Tipp des Tages</translation>
    </message>
    <message>
        <source>Did you know?</source>
        <translation>Wussten Sie schon?</translation>
    </message>
    <message>
        <source>Show &amp;Tips on Startup</source>
        <translation>&amp;Tipps beim Start anzeigen</translation>
    </message>
    <message>
        <source>&amp;Next Tip</source>
        <translation>&amp;Nächster Tipp</translation>
    </message>
    <message>
        <source>No tips found.</source>
        <translation>Keine Tipps gefunden.</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Home &amp;Page</source>
        <translation>&amp;Webseite</translation>
    </message>
    <message>
        <source>Support Email</source>
        <translation>Support-E-Mail</translation>
    </message>
    <message>
        <source>Would you like to replace the existing file?</source>
        <translation>Möchten Sie die vorhandene Datei ersetzen?</translation>
    </message>
    <message>
        <source>Total progress</source>
        <translation>Gesamtfortschritt</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Frage</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Tavisto is already running but does not answer: %1</source>
        <translation>Tavisto läuft bereits, antwortet aber nicht: %1</translation>
    </message>
    <message>
        <source>does not exist</source>
        <translation>existiert nicht</translation>
    </message>
    <message>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualität:</translation>
    </message>
    <message>
        <source>best</source>
        <translation>beste</translation>
    </message>
    <message>
        <source>smallest</source>
        <translation>kleinste</translation>
    </message>
    <message>
        <source>Up to date</source>
        <translation>Aktuell</translation>
    </message>
    <message>
        <source>another Tavisto converts it</source>
        <translation>ein anderes Tavisto wandelt sie um</translation>
    </message>
    <message>
        <source>The following file does not exist.</source>
        <translation>Die folgende Datei existiert nicht.</translation>
    </message>
    <message>
        <source>The MP3 encoder cannot be used: %1</source>
        <translation>Der MP3-Encoder kann nicht verwendet werden: %1</translation>
    </message>
    <message>
        <source>The MP3 encoder cannot encode audio of %1 Hz with these settings.</source>
        <translation>Der MP3-Encoder kann Audio mit %1 Hz mit diesen Einstellungen nicht kodieren.</translation>
    </message>
    <message>
        <source>The MP3 encoder failed (error %1).</source>
        <translation>Der MP3-Encoder ist gescheitert (Fehler %1).</translation>
    </message>
    <message>
        <source>Cannot create the folder &quot;%1&quot;: %2</source>
        <translation>Der Ordner „%1“ kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Cannot create the file &quot;%1&quot;: %2</source>
        <translation>Die Datei „%1“ kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Cannot write to the file &quot;%1&quot;: %2</source>
        <translation>In die Datei „%1“ kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>A file named &quot;%1&quot; is already there.</source>
        <translation>Eine Datei namens „%1“ ist schon vorhanden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a folder, not a file that could be replaced.</source>
        <translation>„%1“ ist ein Ordner, keine Datei, die ersetzt werden könnte.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a symbolic link, not a file that could be replaced.</source>
        <translation>„%1“ ist eine symbolische Verknüpfung, keine Datei, die ersetzt werden könnte.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a device, not a file that could be replaced.</source>
        <translation>„%1“ ist ein Gerät, keine Datei, die ersetzt werden könnte.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a named pipe, not a file that could be replaced.</source>
        <translation>„%1“ ist eine benannte Pipe, keine Datei, die ersetzt werden könnte.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a socket, not a file that could be replaced.</source>
        <translation>„%1“ ist ein Socket, keine Datei, die ersetzt werden könnte.</translation>
    </message>
    <message>
        <source>The output file is the source file itself.</source>
        <translation>Die Ausgabedatei ist die Quelldatei selbst.</translation>
    </message>
    <message>
        <source>the same file as &quot;%1&quot;, which this run converts</source>
        <translation>dieselbe Datei wie „%1“, die dieser Lauf umwandelt</translation>
    </message>
    <message>
        <source>only %1 of the %2 seconds the source declares could be decoded (it may be damaged or cut short)</source>
        <translation>nur %1 der %2 Sekunden, die die Quelle angibt, konnten dekodiert werden (sie ist womöglich beschädigt oder gekürzt)</translation>
    </message>
    <message>
        <source>Verified</source>
        <translation>Geprüft</translation>
    </message>
    <message>
        <source>The MP3 did not verify: %1</source>
        <translation>Die MP3-Datei hat die Prüfung nicht bestanden: %1</translation>
    </message>
    <message>
        <source>too large to carry, left out: %1</source>
        <translation>zu groß für die MP3-Datei, weggelassen: %1</translation>
    </message>
    <message>
        <source>Include the co&amp;ver picture</source>
        <translation>Coverbild &amp;übernehmen</translation>
    </message>
    <message>
        <source>Conversion Finished</source>
        <translation>Umwandlung beendet</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 umgewandelt</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 with a warning</source>
        <translation>%1 mit Warnung</translation>
    </message>
    <message>
        <source>%1 skipped</source>
        <translation>%1 übersprungen</translation>
    </message>
    <message>
        <source>Conversion Cancelled</source>
        <translation>Umwandlung abgebrochen</translation>
    </message>
    <message>
        <source>Replace File?</source>
        <translation>Datei ersetzen?</translation>
    </message>
    <message>
        <source>Nothing to Convert</source>
        <translation>Nichts umzuwandeln</translation>
    </message>
    <message>
        <source>Cannot Add File</source>
        <translation>Datei kann nicht hinzugefügt werden</translation>
    </message>
    <message>
        <source>Some Files Were Not Added</source>
        <translation>Einige Dateien wurden nicht hinzugefügt</translation>
    </message>
    <message>
        <source>No Media Files Found</source>
        <translation>Keine Mediendateien gefunden</translation>
    </message>
    <message>
        <source>Please Wait</source>
        <translation>Bitte warten</translation>
    </message>
    <message>
        <source>Use the Same Settings?</source>
        <translation>Dieselben Einstellungen verwenden?</translation>
    </message>
    <message>
        <source>Cancel the Conversion?</source>
        <translation>Umwandlung abbrechen?</translation>
    </message>
    <message>
        <source>Create the Folder?</source>
        <translation>Ordner anlegen?</translation>
    </message>
    <message>
        <source>Cannot Create the Folder</source>
        <translation>Ordner kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>Choose Another Output File</source>
        <translation>Andere Ausgabedatei wählen</translation>
    </message>
    <message>
        <source>Cannot Use the Tag History</source>
        <translation>Tag-Verlauf nicht verwendbar</translation>
    </message>
    <message>
        <source>&amp;Sample rate:</source>
        <translation>Ab&amp;tastrate:</translation>
    </message>
    <message>
        <source>C&amp;hannel mode:</source>
        <translation>&amp;Kanalmodus:</translation>
    </message>
    <message>
        <source>The source&apos;s own cover: %1</source>
        <translation>Eigenes Cover der Quelle: %1</translation>
    </message>
    <message>
        <source>%1 from the album folder</source>
        <translation>%1 aus dem Albumordner</translation>
    </message>
    <message>
        <source>kbps</source>
        <translation>kbit/s</translation>
    </message>
    <message>
        <source>Edit…</source>
        <translation>Bearbeiten …</translation>
    </message>
    <message>
        <source>%1 artists</source>
        <translation>%1 Interpreten</translation>
    </message>
    <message>
        <source>%1 album artists</source>
        <translation>%1 Albuminterpreten</translation>
    </message>
    <message>
        <source>%1 composers</source>
        <translation>%1 Komponisten</translation>
    </message>
    <message>
        <source>%1 genres</source>
        <translation>%1 Genres</translation>
    </message>
    <message>
        <source>lyrics</source>
        <translation>Liedtext</translation>
    </message>
    <message>
        <source>rating %1</source>
        <translation>Bewertung %1</translation>
    </message>
    <message>
        <source>publisher</source>
        <translation>Verlag</translation>
    </message>
    <message>
        <source>BPM</source>
        <translation>BPM</translation>
    </message>
    <message>
        <source>ISRC</source>
        <translation>ISRC</translation>
    </message>
    <message>
        <source>grouping</source>
        <translation>Gruppierung</translation>
    </message>
    <message>
        <source>subtitle</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <source>conductor</source>
        <translation>Dirigent</translation>
    </message>
    <message>
        <source>lyricist</source>
        <translation>Texter</translation>
    </message>
    <message>
        <source>remixer</source>
        <translation>Remixer</translation>
    </message>
    <message>
        <source>original year</source>
        <translation>Originaljahr</translation>
    </message>
    <message>
        <source>copyright</source>
        <translation>Copyright</translation>
    </message>
    <message>
        <source>sort orders</source>
        <translation>Sortiernamen</translation>
    </message>
    <message>
        <source>compilation</source>
        <translation>Kompilation</translation>
    </message>
    <message>
        <source>MusicBrainz IDs</source>
        <translation>MusicBrainz-IDs</translation>
    </message>
    <message>
        <source>1 more picture</source>
        <translation>1 weiteres Bild</translation>
    </message>
    <message>
        <source>%1 more pictures</source>
        <translation>%1 weitere Bilder</translation>
    </message>
    <message>
        <source>1 other field</source>
        <translation>1 weiteres Feld</translation>
    </message>
    <message>
        <source>%1 other fields</source>
        <translation>%1 weitere Felder</translation>
    </message>
    <message>
        <source>Home page</source>
        <translation>Webseite</translation>
    </message>
    <message>
        <source>Licensed under the GNU General Public License, version 3 or later.</source>
        <translation>Lizenziert unter der GNU General Public License, Version 3 oder später.</translation>
    </message>
    <message>
        <source>Read the licence</source>
        <translation>Lizenz lesen</translation>
    </message>
    <message>
        <source>&amp;Add Files…</source>
        <translation>&amp;Dateien hinzufügen …</translation>
    </message>
    <message>
        <source>Add F&amp;older…</source>
        <translation>&amp;Ordner hinzufügen …</translation>
    </message>
    <message>
        <source>&amp;Edit…</source>
        <translation>&amp;Bearbeiten …</translation>
    </message>
    <message>
        <source>Choose a folder…</source>
        <translation>Ordner wählen …</translation>
    </message>
    <message>
        <source>File na&amp;mes:</source>
        <translation>Datei&amp;namen:</translation>
    </message>
    <message>
        <source>Like the source</source>
        <translation>Wie die Quelle</translation>
    </message>
    <message>
        <source>Artist/Album/Track Title</source>
        <translation>Interpret/Album/Nr. Titel</translation>
    </message>
    <message>
        <source>Own pattern…</source>
        <translation>Eigenes Muster …</translation>
    </message>
    <message>
        <source>Name pattern</source>
        <translation>Namensmuster</translation>
    </message>
    <message>
        <source>Fields: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre% %filename% %folder%. &quot;/&quot; makes folders; &quot;.mp3&quot; is added.</source>
        <translation>Felder: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre% %filename% %folder%. „/“ legt Ordner an; „.mp3“ wird angehängt.</translation>
    </message>
    <message>
        <source>Preview:</source>
        <translation>Vorschau:</translation>
    </message>
    <message>
        <source>This pattern is not used:</source>
        <translation>Dieses Muster wird nicht verwendet:</translation>
    </message>
    <message>
        <source>a &quot;%&quot; has no closing &quot;%&quot;</source>
        <translation>zu einem „%“ fehlt das schließende „%“</translation>
    </message>
    <message>
        <source>%1 is not a field</source>
        <translation>%1 ist kein Feld</translation>
    </message>
    <message>
        <source>it makes no file name</source>
        <translation>es ergibt keinen Dateinamen</translation>
    </message>
    <message>
        <source>Convert only &amp;new or changed files</source>
        <translation>Nur neue oder geänderte Dateien &amp;umwandeln</translation>
    </message>
    <message>
        <source>O&amp;ptions</source>
        <translation>Opt&amp;ionen</translation>
    </message>
    <message>
        <source>&amp;Check each MP3 by decoding it again</source>
        <translation>Jede MP3-Datei durch erneutes Dekodieren &amp;kontrollieren</translation>
    </message>
    <message>
        <source>Write Replay&amp;Gain (even loudness)</source>
        <translation>Replay&amp;Gain schreiben (gleiche Lautstärke)</translation>
    </message>
    <message>
        <source>Album art from the source&apos;s &amp;folder when it has none</source>
        <translation>Album&amp;cover aus dem Ordner der Quelle, wenn sie keines hat</translation>
    </message>
    <message>
        <source>Done with a warning</source>
        <translation>Fertig mit Warnung</translation>
    </message>
    <message>
        <source>Waiting for the run</source>
        <translation>Wartet auf den Durchlauf</translation>
    </message>
    <message>
        <source>Bring back the %1 tasks of the last session? %2 of them are not converted yet.</source>
        <translation>Die %1 Aufgaben der letzten Sitzung wiederherstellen? %2 davon sind noch nicht umgewandelt.</translation>
    </message>
    <message>
        <source>The tasks of the last session are back: %1.</source>
        <translation>Die Aufgaben der letzten Sitzung sind wieder da: %1.</translation>
    </message>
    <message>
        <source>The task list is kept: at the next start Tavisto offers to bring it back.</source>
        <translation>Die Aufgabenliste bleibt erhalten: Beim nächsten Start bietet Tavisto an, sie wiederherzustellen.</translation>
    </message>
    <message>
        <source>The task list is not kept: another Tavisto keeps it.</source>
        <translation>Die Aufgabenliste wird nicht gespeichert: Ein anderes Tavisto führt sie.</translation>
    </message>
    <message>
        <source>The task list cannot be kept:</source>
        <translation>Die Aufgabenliste kann nicht gespeichert werden:</translation>
    </message>
    <message>
        <source>Files that arrived during the run: %1. They are converted when it ends.</source>
        <translation>Während des Durchlaufs eingetroffene Dateien: %1. Sie werden nach seinem Ende umgewandelt.</translation>
    </message>
</context>
</TS>
