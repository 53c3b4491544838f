// Writes an LZH archive with jlha's library in a method its command line does not offer:
//   java -cp /usr/share/java/jlha.jar JlhaPack.java METHOD LEVEL ARCHIVE FILE...
// Each FILE becomes a member under its bare name.
import java.io.FileOutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Date;

import jp.gr.java_conf.dangan.util.lha.LhaHeader;
import jp.gr.java_conf.dangan.util.lha.LhaOutputStream;

public class JlhaPack {
    public static void main(String[] args) throws Exception {
        final String method = args[0];
        final int level = Integer.parseInt(args[1]);
        try (LhaOutputStream out = new LhaOutputStream(new FileOutputStream(args[2]))) {
            for (int i = 3; i < args.length; ++i) {
                final Path file = Paths.get(args[i]);
                final LhaHeader header = new LhaHeader(file.getFileName().toString(),
                        new Date(Files.getLastModifiedTime(file).toMillis()));
                header.setCompressMethod(method);
                header.setHeaderLevel(level);
                out.putNextEntry(header);
                out.write(Files.readAllBytes(file));
                out.closeEntry();
            }
        }
    }
}
